#include "floor_calls.h"

#include <cstdint>
#include <iterator>

namespace corvantis::bench {
namespace {

constexpr int kPlacedWidth = 800;
constexpr int kPlacedHeight = 600;

// True when the call would change nothing.
bool Holds(HWND window, Call call) {
  switch (call) {
    case Call::kHide:
      return IsWindowVisible(window) == FALSE;
    case Call::kMinimize:
    case Call::kMinimizeNoActivate:
      return IsIconic(window) != FALSE;
    case Call::kShowNormal:
    case Call::kShowNoActivate:
      return IsWindowVisible(window) != FALSE && IsIconic(window) == FALSE;
    case Call::kMove:
      return Placed(window);
    case Call::kForeground:
      return GetForegroundWindow() == window;
    default:
      return false;
  }
}

// The ShowWindow command of each show call, in the order of Call, whose
// show calls come first.
constexpr int kShowCommands[] = {SW_HIDE, SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE,
                                 SW_SHOWNORMAL, SW_SHOWNOACTIVATE};
static_assert(std::size(kShowCommands) ==
              static_cast<std::size_t>(Call::kShowNoActivate) + 1);

}  // namespace

void Apply(HWND window, Call call, CallTimes* times) {
  Timed(times, call, [&] {
    switch (call) {
      case Call::kMove:
        MoveWindow(window, 0, 0, kPlacedWidth, kPlacedHeight, TRUE);
        break;
      case Call::kForeground:
        SetForegroundWindow(window);
        break;
      case Call::kClose: {
        // The same call as the program's: ANSI, a pointer to zero as lParam.
        std::int32_t zero = 0;
        SendMessageA(window, WM_CLOSE, 0, reinterpret_cast<LPARAM>(&zero));
        break;
      }
      default:
        ShowWindow(window, kShowCommands[static_cast<std::size_t>(call)]);
    }
  });
}

void PrescribedHide(const std::vector<HWND>& lobbies,
                    const std::vector<HWND>& games, CallTimes* times) {
  for (HWND window : lobbies) {
    for (Call call : {Call::kHide, Call::kMove}) Apply(window, call, times);
  }
  for (HWND window : games) {
    for (Call call : {Call::kMinimize, Call::kHide, Call::kMove}) {
      Apply(window, call, times);
    }
  }
}

void ChangePlan::Learn(HWND window, Call call) {
  if (!Holds(window, call)) Keep(window, call);
}

void ChangePlan::LearnShowAsItIs(HWND window) {
  if (IsWindowVisible(window)) return;
  Keep(window,
       IsIconic(window) ? Call::kMinimizeNoActivate : Call::kShowNoActivate);
}

void ChangePlan::Keep(HWND window, Call call) {
  Apply(window, call, nullptr);
  calls_.emplace_back(window, call);
}

void ChangePlan::Replay(CallTimes* times) const {
  for (const auto& [window, call] : calls_) Apply(window, call, times);
}

bool Placed(HWND window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  return rect.left == 0 && rect.top == 0 &&
         ((rect.right == kPlacedWidth && rect.bottom == kPlacedHeight) ||
          IsIconic(window));
}

bool LeftAsWalked(const std::vector<HWND>& lobbies,
                  const std::vector<HWND>& games, HWND shown) {
  const auto hidden = [&](HWND window, bool game) {
    return window == shown || (!IsWindowVisible(window) && Placed(window) &&
                               (!game || IsIconic(window)));
  };
  for (HWND window : lobbies) {
    if (!hidden(window, false)) return false;
  }
  for (HWND window : games) {
    if (!hidden(window, true)) return false;
  }
  return shown == nullptr || (IsWindowVisible(shown) && !IsIconic(shown) &&
                              Placed(shown) && GetForegroundWindow() == shown);
}

}  // namespace corvantis::bench
