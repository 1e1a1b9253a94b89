// The measurements desktop_bench makes, one file each.
#pragma once

#include <string>

#include "bench_common.h"
#include "bench_panel.h"

namespace corvantis::bench {

// Each prints its action's line and calls lines for the desktop, whose
// clients are up; false, after an error line, when the desktop or an
// action did not behave.
bool MeasureRefresh(BenchPanel& panel, const Desktop& desktop, int runs);
bool MeasureSelect(BenchPanel& panel, const Desktop& desktop, int runs);
// Starts fresh clients of its own: every turn ends them.
bool MeasureClose(BenchPanel& panel, const Desktop& desktop, int runs);

// Where Corvantis.exe itself is started and measured.
struct PanelDesktop {
  // Holds Corvantis.exe, panel_floor.exe and a stand-in for the updater.
  std::wstring panel_directory;
  int runs = 0;
  int tracked = 0;
  int others = 0;
};

// Start-up, memory and the guard, on a desktop of its own.
bool MeasurePanel(const PanelDesktop& desktop, const std::wstring& directory);

}  // namespace corvantis::bench
