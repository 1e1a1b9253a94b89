// Close-all (全部关闭): WM_CLOSE to every game, then every lobby. Every
// call changes something, so the prescribed sequence is also its change
// floor.
#include <vector>

#include "floor_calls.h"
#include "measures.h"
#include "sim_desktop.h"

namespace corvantis::bench {

// Each turn closes two fresh clients' windows, hidden by a refresh as a
// user's would be, one by the program and one by the floor.
bool MeasureClose(BenchPanel& panel, const Desktop& desktop, int runs) {
  const auto closed = [&](bool by_program, CallTimes* times) {
    e2e::Process clients;
    if (!StartClients(clients, desktop.directory, desktop.tracked)) {
      Fail("the clients to close did not come up");
      return -1.0;
    }
    panel.Refresh();
    const std::vector<HWND> lobbies = panel.lobbies();
    const std::vector<HWND> games = panel.games();
    PumpMessages();
    const double ms = TimeMs([&] {
      if (by_program) {
        panel.CloseAll(times);
        return;
      }
      for (const auto* kind : {&games, &lobbies}) {
        for (HWND window : *kind) Apply(window, Call::kClose, times);
      }
    });
    // The client ends once its last window has closed.
    return Checked(ms, clients.WaitForExit(30000), "close",
                   by_program ? "program" : "prescribed");
  };
  Comparison close([&](CallTimes* times) { return closed(true, times); },
                   [&](CallTimes* times) { return closed(false, times); });
  for (int run = 0; run < runs; ++run) {
    if (!close.Turn(run)) return false;
  }
  close.Print("close", desktop);
  return true;
}

}  // namespace corvantis::bench
