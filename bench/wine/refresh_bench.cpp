// A refresh (手动刷新): every window the last refresh hid is shown, the
// desktop is scanned, and every window found is hidden.
#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "floor_calls.h"
#include "measures.h"
#include "sim_desktop.h"

namespace corvantis::bench {
namespace {

// The scan as a bare loop: EnumWindows and, for every window, the reads the
// program's scan makes, timed whole; it collects what it found.
class FloorScan {
 public:
  void Run(CallTimes* times) {
    lobbies_.clear();
    games_.clear();
    Timed(times, Call::kEnumerate,
          [&] { EnumWindows(Visit, reinterpret_cast<LPARAM>(this)); });
  }

  const std::vector<HWND>& lobbies() const { return lobbies_; }
  const std::vector<HWND>& games() const { return games_; }
  int found() const {
    return static_cast<int>(lobbies_.size() + games_.size());
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<FloorScan*>(context);
    const int length = GetWindowTextLengthW(window);
    self->title_.resize(static_cast<std::size_t>(std::max(length, 0)) + 1);
    const int title_length =
        GetWindowTextW(window, self->title_.data(), length + 1);
    wchar_t class_name[256];
    const int class_length = GetClassNameW(window, class_name, 255);
    RECT rect;
    GetWindowRect(window, &rect);
    const bool visible = IsWindowVisible(window) != FALSE;
    const LONG width = rect.right - rect.left;
    if (class_length >= 11 &&
        std::wmemcmp(class_name, L"QufPanelWnd", 11) == 0 && visible &&
        title_length > 0 && width != 360 && width != 446 && width != 486) {
      const std::wstring_view title(self->title_.data(),
                                    static_cast<std::size_t>(title_length));
      (title == kLobbyTitle ? self->lobbies_ : self->games_).push_back(window);
    }
    return TRUE;
  }

  std::vector<wchar_t> title_;
  std::vector<HWND> lobbies_;
  std::vector<HWND> games_;
};

// The prescribed sequence: SW_SHOWNORMAL and a move for every window the
// last refresh hid, the scan, the prescribed hide of what it found.
class PrescribedRefresh {
 public:
  PrescribedRefresh(std::vector<HWND> lobbies, std::vector<HWND> games)
      : lobbies_(std::move(lobbies)), games_(std::move(games)) {}

  void Run(CallTimes* times) {
    for (const auto* kind : {&lobbies_, &games_}) {
      for (HWND window : *kind) {
        for (Call call : {Call::kShowNormal, Call::kMove}) {
          Apply(window, call, times);
        }
      }
    }
    scan_.Run(times);
    lobbies_ = scan_.lobbies();
    games_ = scan_.games();
    PrescribedHide(lobbies_, games_, times);
  }

  int found() const { return scan_.found(); }

 private:
  FloorScan scan_;
  std::vector<HWND> lobbies_;
  std::vector<HWND> games_;
};

// The change floor: every window the last refresh hid made visible as it
// is (the scan needs no more), placed if it is not, the same scan, then
// every window found hidden, a game minimised without activation first if
// it is not, and placed if it is not; learnt on one refresh and replayed.
class ChangeRefresh {
 public:
  ChangeRefresh(const std::vector<HWND>& lobbies,
                const std::vector<HWND>& games) {
    for (const auto* kind : {&lobbies, &games}) {
      for (HWND window : *kind) {
        show_.LearnShowAsItIs(window);
        show_.Learn(window, Call::kMove);
      }
    }
    scan_.Run(nullptr);
    for (HWND window : scan_.lobbies()) {
      for (Call call : {Call::kHide, Call::kMove}) hide_.Learn(window, call);
    }
    for (HWND window : scan_.games()) {
      for (Call call : {Call::kMinimizeNoActivate, Call::kHide, Call::kMove}) {
        hide_.Learn(window, call);
      }
    }
  }

  void Run(CallTimes* times) {
    show_.Replay(times);
    scan_.Run(times);
    hide_.Replay(times);
  }

  int found() const { return scan_.found(); }

 private:
  FloorScan scan_;
  ChangePlan show_;
  ChangePlan hide_;
};

}  // namespace

bool MeasureRefresh(BenchPanel& panel, const Desktop& desktop, int runs) {
  // The first refresh fills the lists and hides the windows; from then on
  // each side shows what the last one hid, finds the windows again and
  // hides them.
  panel.Refresh();
  const std::vector<HWND> lobbies = panel.lobbies();
  const std::vector<HWND> games = panel.games();
  if (panel.tracked() != desktop.tracked) {
    Fail("the refresh found " + std::to_string(panel.tracked()) + " windows");
    return false;
  }
  PrescribedRefresh prescribed(lobbies, games);
  prescribed.Run(nullptr);
  ChangeRefresh change(lobbies, games);
  // Each side returns how many windows its scan found.
  const auto side = [&](const char* who, auto run) {
    return [&, who, run](CallTimes* times) {
      int found = 0;
      const double ms = TimeMs([&] { found = run(times); });
      return Checked(
          ms, found == desktop.tracked && LeftAsWalked(lobbies, games, nullptr),
          "refresh", who);
    };
  };
  Comparison refresh(side("program",
                          [&](CallTimes* times) {
                            panel.Refresh(times);
                            return panel.tracked();
                          }),
                     side("prescribed",
                          [&](CallTimes* times) {
                            prescribed.Run(times);
                            return prescribed.found();
                          }),
                     side("change", [&](CallTimes* times) {
                       change.Run(times);
                       return change.found();
                     }));
  for (int run = 0; run < runs; ++run) {
    if (!refresh.Turn(run)) return false;
  }
  refresh.Print("refresh", desktop);
  return true;
}

}  // namespace corvantis::bench
