#include "bench_panel.h"

// After windows.h, whose types it uses.
#include <commctrl.h>

#include "control/window_control.h"
#include "timed_window_system.h"
#include "tracking/scan.h"

namespace corvantis::bench {
namespace {

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam,
                           LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND CreateChild(HWND parent, const wchar_t* window_class, DWORD style,
                 DWORD ex_style, int left, int top, int width, int height) {
  const HWND child = CreateWindowExW(
      ex_style, window_class, L"", WS_CHILD | WS_VISIBLE | style, left, top,
      width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT,
               reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return child;
}

// A list box as the panel has them.
HWND CreateList(HWND parent, int left) {
  return CreateChild(
      parent, WC_LISTBOXW,
      LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
      WS_EX_CLIENTEDGE, left, 32, 97, 88);
}

HWND CreateLabel(HWND parent, int left, int width) {
  return CreateChild(parent, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, left, 8,
                     width, 17);
}

HWND CreateFrame() {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = FrameProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = L"CorvantisDesktopBench";
  RegisterClassExW(&window_class);
  const HWND frame = CreateWindowExW(
      0, window_class.lpszClassName, L"Refresh bench",
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 425, 210, 280,
      330, nullptr, nullptr, window_class.hInstance, nullptr);
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  return frame;
}

}  // namespace

BenchPanel::BenchPanel()
    : frame_(CreateFrame()),
      lobby_list_(CreateList(frame_, 24)),
      game_list_(CreateList(frame_, 160)),
      大厅名称_(lobby_list_),
      游戏名称_(game_list_),
      label1_(CreateLabel(frame_, 16, 97)),
      label2_(CreateLabel(frame_, 152, 81)),
      lists_{大厅名称_, 大厅句柄_, 游戏名称_, 游戏句柄_} {}

void BenchPanel::Refresh(CallTimes* times) {
  Through(times, [&](WindowSystem& windows) {
    TrackedWindowWalks walks(windows, false);
    RefreshWindowLists(windows, lists_, label1_, label2_, walks);
  });
  Repaint();
}

void BenchPanel::SelectFirst(bool game, CallTimes* times) {
  SendMessageW(game ? game_list_ : lobby_list_, LB_SETCURSEL, 0, 0);
  Through(times, [&](WindowSystem& windows) {
    if (game) {
      SelectTrackedWindow(windows, lists_, 游戏名称_, 游戏句柄_);
    } else {
      SelectTrackedWindow(windows, lists_, 大厅名称_, 大厅句柄_);
    }
  });
  Repaint();
}

void BenchPanel::CloseAll(CallTimes* times) {
  Through(times, [&](WindowSystem& windows) {
    CloseAllTrackedWindows(windows, lists_);
  });
}

template <typename Work>
void BenchPanel::Through(CallTimes* times, Work work) {
  if (times == nullptr) {
    work(windows_);
  } else {
    TimedWindowSystem timed(windows_, *times);
    work(timed);
  }
}

std::vector<HWND> BenchPanel::Windows(const ListControl& handles) {
  std::vector<HWND> windows;
  for (std::int16_t index = 0; index < handles.ListCount(); ++index) {
    windows.push_back(
        reinterpret_cast<HWND>(static_cast<INT_PTR>(HandleAt(handles, index))));
  }
  return windows;
}

void BenchPanel::Repaint() {
  RedrawWindow(frame_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace corvantis::bench
