// A selection: a click on a window in the panel's lists hides every other
// tracked window and shows the chosen one.
//
// A turn is what a user switching between windows does after a refresh: a
// click on the first lobby, then one on the first game, each of which has
// to hide the choice before it; its time is that of one click, the mean of
// the two. Without a game (a lobby alone) each click on the lobby follows
// a refresh, untimed, so that there is something to show.
#include <vector>

#include "floor_calls.h"
#include "measures.h"

namespace corvantis::bench {
namespace {

struct Clicks {
  std::vector<HWND> lobbies;
  std::vector<HWND> games;
  // Whether each click is on the first game rather than the first lobby.
  std::vector<bool> on_game;

  bool refreshed() const { return games.empty(); }
  HWND chosen(bool game) const {
    return game ? games.front() : lobbies.front();
  }
  HWND last() const { return chosen(on_game.back()); }
};

// The prescribed sequence of a click: every lobby hidden and moved, every
// game minimised, hidden and moved, then SW_SHOWNORMAL for the chosen.
void PrescribedSelect(const Clicks& clicks, CallTimes* times) {
  for (bool game : clicks.on_game) {
    PrescribedHide(clicks.lobbies, clicks.games, times);
    Apply(clicks.chosen(game), Call::kShowNormal, times);
  }
}

// The change floor of the clicks: of the program's hide of every other
// window, the show and move of the chosen and its activation, only the
// calls that change something.
ChangePlan LearnSelect(const Clicks& clicks) {
  ChangePlan plan;
  for (bool game : clicks.on_game) {
    const HWND chosen = clicks.chosen(game);
    for (HWND window : clicks.lobbies) {
      if (window == chosen) continue;
      for (Call call : {Call::kHide, Call::kMove}) plan.Learn(window, call);
    }
    for (HWND window : clicks.games) {
      if (window == chosen) continue;
      for (Call call : {Call::kMinimizeNoActivate, Call::kHide, Call::kMove}) {
        plan.Learn(window, call);
      }
    }
    for (Call call : {Call::kShowNormal, Call::kMove, Call::kForeground}) {
      plan.Learn(chosen, call);
    }
  }
  return plan;
}

}  // namespace

bool MeasureSelect(BenchPanel& panel, const Desktop& desktop, int runs) {
  panel.Refresh();
  Clicks clicks{panel.lobbies(), panel.games(), {false}};
  if (!clicks.refreshed()) clicks.on_game.push_back(true);
  const auto program = [&](CallTimes* times) {
    for (bool game : clicks.on_game) panel.SelectFirst(game, times);
  };
  // Both the program and the change floor start from the state the clicks
  // leave, as every turn does.
  const auto prepare = [&] {
    if (clicks.refreshed()) panel.Refresh();
  };
  prepare();
  program(nullptr);
  prepare();
  const ChangePlan change = LearnSelect(clicks);
  const auto side = [&](const char* who, auto run) {
    return [&, who, run](CallTimes* times) {
      prepare();
      const double ms = TimeMs([&] { run(times); });
      return Checked(ms / static_cast<double>(clicks.on_game.size()),
                     LeftAsWalked(clicks.lobbies, clicks.games, clicks.last()),
                     "select", who);
    };
  };
  Comparison select(
      side("program", program),
      side("prescribed",
           [&](CallTimes* times) { PrescribedSelect(clicks, times); }),
      side("change", [&](CallTimes* times) { change.Replay(times); }));
  for (int run = 0; run < runs; ++run) {
    if (!select.Turn(run)) return false;
  }
  select.Print("select", desktop);
  return true;
}

}  // namespace corvantis::bench
