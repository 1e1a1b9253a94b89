// desktop_bench: times Corvantis's actions on a real desktop, under Wine or
// on Windows, against simulated clients, each beside two floors, bare loops
// of Win32 calls on the same windows in the same order: the prescribed
// sequence (every call the action is made of) and the change floor
// (only those of the program's calls whose effect is not already there).
// Program and floors run in turns, and each RATIO is the median of the
// turns' ratios of the program to that floor, which keeps a machine whose
// load changes from skewing it. Prints tab-separated lines, times in ms
// (medians):
//   refresh|select|close N M K PROGRAM PRESCRIBED RATIO CHANGE RATIO
//   calls ACTION N M K program|prescribed|change CALL COUNT MS
//       (the first turn's time per kind of call)
//   walk MS WINDOWS     (the start-up walk for windows ended panels hid)
//   start PANEL FLOOR ONE_WINDOW RATIO_FLOOR RATIO_ONE_WINDOW  (warm starts)
//   memory PANEL PANEL_REFRESHED FLOOR ONE_WINDOW    (private bytes, medians)
//   guard PRIVATE_BYTES CPU_MS_WHILE_WAITING UNMARKED_MS SHOWN_MS
//
//   desktop_bench.exe PANEL_DIR [--runs R] [--close-runs C]
//       [--tracked N,...] [--others M,...] [--spread K,...]
//       [--panel-desktop N,M] [--no-panel]
//
// Each desktop has N client windows (every fifth a lobby) among M windows
// of another program, spread over K processes (1 unless --spread says
// otherwise). The program's side runs the program's own code
// (Win32WindowSystem, the refresh, select and close routines, real list
// boxes) in a window of this process. Start-up and memory are measured on a
// desktop of 200 client and 500 other windows (--panel-desktop), unless
// --no-panel. PANEL_DIR holds Corvantis.exe, panel_floor.exe (what any
// panel must do at start, and nothing else) and a stand-in for the
// updater; the one-window program is simclient.exe, from this program's own
// folder.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "measures.h"
#include "sim_desktop.h"

namespace corvantis::bench {
namespace {

constexpr int kTrackedCounts[] = {1, 10, 50, 200};
constexpr int kOtherCounts[] = {100, 500, 2000};
constexpr int kRuns = 5;
constexpr int kCloseRuns = 3;
// The desktop on which the panel program itself is started and measured.
constexpr int kPanelTracked = 200;
constexpr int kPanelOthers = 500;

std::vector<int> Counts(const wchar_t* list) {
  std::vector<int> counts;
  for (const wchar_t* at = list; *at != L'\0';) {
    wchar_t* end = nullptr;
    counts.push_back(static_cast<int>(std::wcstol(at, &end, 10)));
    if (end == at) return {};
    at = *end == L',' ? end + 1 : end;
  }
  return counts;
}

struct Options {
  // Its runs are also those of the actions.
  PanelDesktop panel{std::wstring(), kRuns, kPanelTracked, kPanelOthers};
  bool measure_panel = true;
  int close_runs = kCloseRuns;
  std::vector<int> tracked{std::begin(kTrackedCounts),
                           std::end(kTrackedCounts)};
  std::vector<int> others{std::begin(kOtherCounts), std::end(kOtherCounts)};
  std::vector<int> spreads{1};
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  if (argc < 2) return false;
  std::wstring& panel_directory = options.panel.panel_directory;
  panel_directory = argv[1];
  if (panel_directory.back() != L'\\') panel_directory += L'\\';
  for (int index = 2; index < argc; ++index) {
    const std::wstring name = argv[index];
    if (name == L"--no-panel") {
      options.measure_panel = false;
      continue;
    }
    if (index + 1 == argc) return false;
    const wchar_t* value = argv[++index];
    if (name == L"--runs") {
      options.panel.runs = std::max(_wtoi(value), 1);
    } else if (name == L"--close-runs") {
      options.close_runs = std::max(_wtoi(value), 1);
    } else if (name == L"--tracked") {
      options.tracked = Counts(value);
    } else if (name == L"--others") {
      options.others = Counts(value);
    } else if (name == L"--spread") {
      options.spreads = Counts(value);
    } else if (name == L"--panel-desktop") {
      const std::vector<int> counts = Counts(value);
      if (counts.size() != 2) return false;
      options.panel.tracked = counts[0];
      options.panel.others = counts[1];
    } else {
      return false;
    }
  }
  const auto positive = [](const std::vector<int>& counts) {
    return !counts.empty() && std::all_of(counts.begin(), counts.end(),
                                          [](int count) { return count > 0; });
  };
  return positive(options.tracked) && positive(options.others) &&
         positive(options.spreads) && options.panel.tracked > 0 &&
         options.panel.others > 0;
}

bool MeasureDesktop(BenchPanel& panel, const Desktop& desktop, int runs,
                    int close_runs) {
  e2e::Process clients;
  if (!StartClients(clients, desktop.directory, desktop.tracked) ||
      !MeasureRefresh(panel, desktop, runs) ||
      !MeasureSelect(panel, desktop, runs)) {
    return false;
  }
  clients.Kill();
  return MeasureClose(panel, desktop, close_runs);
}

int Run(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Fail(
        "usage: desktop_bench PANEL_DIR [--runs R] [--close-runs C] "
        "[--tracked N,...] [--others M,...] [--spread K,...] "
        "[--panel-desktop N,M] [--no-panel]");
    return 2;
  }
  const std::wstring directory = e2e::MakeScratchDirectory();
  BenchPanel panel;
  for (const int spread : options.spreads) {
    for (const int others_count : options.others) {
      std::vector<e2e::Process> others(static_cast<std::size_t>(spread));
      if (!StartOthers(others, directory, others_count)) {
        Fail("the other windows did not come up");
        return 1;
      }
      for (const int tracked : options.tracked) {
        const Desktop desktop{tracked, others_count, spread, directory};
        if (!MeasureDesktop(panel, desktop, options.panel.runs,
                            options.close_runs)) {
          Fail("desktop N=" + std::to_string(tracked) +
               " M=" + std::to_string(others_count) + " failed");
          return 1;
        }
      }
    }
  }
  const bool panel_measured =
      !options.measure_panel || MeasurePanel(options.panel, directory);
  e2e::RemoveScratchDirectory(directory);
  return panel_measured ? 0 : 1;
}

}  // namespace
}  // namespace corvantis::bench

int wmain(int argc, wchar_t** argv) {
  return corvantis::bench::Run(argc, argv);
}
