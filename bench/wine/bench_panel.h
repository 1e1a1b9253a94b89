// The panel's lists and labels as the panel lays them out, in a window of
// this process, driven by the program's own code on the real desktop.
#pragma once

#include <windows.h>

#include <vector>

#include "app/controls_win32.h"
#include "bench_common.h"
#include "platform/win32_window_system.h"
#include "tracking/tracked_windows.h"

namespace corvantis::bench {

class BenchPanel {
 public:
  BenchPanel();

  // What a click on 手动刷新 costs, up to the repainted panel.
  void Refresh(CallTimes* times = nullptr);
  // What a click on the first lobby, or the first game, of the lists
  // costs, up to the repainted panel.
  void SelectFirst(bool game, CallTimes* times = nullptr);
  // What a click on 全部关闭 costs.
  void CloseAll(CallTimes* times);

  int tracked() const { return 大厅句柄_.ListCount() + 游戏句柄_.ListCount(); }
  std::vector<HWND> lobbies() const { return Windows(大厅句柄_); }
  std::vector<HWND> games() const { return Windows(游戏句柄_); }

 private:
  // The program's code on the desktop, each call timed when there are
  // times to add to.
  template <typename Work>
  void Through(CallTimes* times, Work work);

  static std::vector<HWND> Windows(const ListControl& handles);
  void Repaint();

  HWND frame_;
  HWND lobby_list_;
  HWND game_list_;
  Win32WindowSystem windows_;
  Win32ListBox 大厅名称_;
  Win32ListBox 游戏名称_;
  MemoryList 大厅句柄_;
  MemoryList 游戏句柄_;
  Win32Caption label1_;
  Win32Caption label2_;
  TrackedWindows lists_;
};

}  // namespace corvantis::bench
