// The core's cost per window, against the fake desktop: the scan alone and
// a whole refresh (show, scan, hide), at desktops of 10 to 32,767 windows.
// Arguments: the number of windows, and the percentage of them that are the
// client's (every fifth of those a lobby, the others games).
#include <benchmark/benchmark.h>

#include <string>

#include "control/window_control.h"
#include "fake_controls.h"
#include "fake_desktop.h"
#include "tracking/scan.h"

namespace corvantis {
namespace {

using testing::FakeCaption;
using testing::FakeDesktop;

void AddWindows(FakeDesktop& desktop, std::int64_t count,
                std::int64_t client_percent) {
  const std::int64_t every = 100 / client_percent;
  std::int64_t clients = 0;
  for (std::int64_t index = 0; index < count; ++index) {
    const std::string number = std::to_string(index);
    const Text digits(number.begin(), number.end());
    if (index % every != 0) {
      desktop.Add(u"Window " + digits, u"OtherWnd", 640);
    } else if (clients++ % 5 == 0) {
      desktop.Add(u"QQ游戏", u"QufPanelWnd");
    } else {
      desktop.Add(u"游戏" + digits, u"QufPanelWnd", 1024);
    }
  }
}

struct Lists {
  MemoryList lobby_names, lobby_handles, game_names, game_handles;
  TrackedWindows tracked{lobby_names, lobby_handles, game_names, game_handles};

  void Clear() {
    lobby_names.Clear();
    lobby_handles.Clear();
    game_names.Clear();
    game_handles.Clear();
  }
};

void BM_Scan(benchmark::State& state) {
  FakeDesktop desktop;
  AddWindows(desktop, state.range(0), state.range(1));
  Lists lists;
  ScanTarget target{desktop, lists.tracked};
  for (auto _ : state) {
    lists.Clear();
    ScopedScanTarget scope(target);
    desktop.EnumChildWindows(0, ScanWindowProc, 0);
    desktop.calls.clear();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["tracked"] =
      lists.lobby_handles.ListCount() + lists.game_handles.ListCount();
}

void BM_Refresh(benchmark::State& state) {
  FakeDesktop desktop;
  AddWindows(desktop, state.range(0), state.range(1));
  Lists lists;
  FakeCaption label1, label2;
  // The first refresh hides the windows the later ones show again.
  TrackedWindowWalks walks(desktop, false);
  RefreshWindowLists(desktop, lists.tracked, label1, label2, walks);
  for (auto _ : state) {
    RefreshWindowLists(desktop, lists.tracked, label1, label2, walks);
    // The fake desktop's record of calls is not the core's cost.
    state.PauseTiming();
    desktop.calls.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["tracked"] =
      lists.lobby_handles.ListCount() + lists.game_handles.ListCount();
}

void DesktopSizes(benchmark::internal::Benchmark* benchmark) {
  for (const std::int64_t windows : {10, 1000, 32767}) {
    for (const std::int64_t client_percent : {10, 100}) {
      benchmark->Args({windows, client_percent});
    }
  }
  benchmark->ArgNames({"windows", "client%"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Scan)->Apply(DesktopSizes);
BENCHMARK(BM_Refresh)->Apply(DesktopSizes);

}  // namespace
}  // namespace corvantis

BENCHMARK_MAIN();
