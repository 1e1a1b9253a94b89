// The floors' bare Win32 calls on the client's windows, and the end state
// every walk, the program's or a floor's, must leave.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "bench_common.h"

namespace corvantis::bench {

// Makes one call of the kind (a ShowWindow command, the move to the
// origin, the activation, the WM_CLOSE), timed when there are times.
void Apply(HWND window, Call call, CallTimes* times);

// The prescribed hide: every lobby hidden and moved, every game minimised
// (which shows and activates it), hidden and moved.
void PrescribedHide(const std::vector<HWND>& lobbies,
                    const std::vector<HWND>& games, CallTimes* times);

// The calls of a change floor. Learning, it makes each call it is offered
// only when the call's effect is not there yet, and keeps those it made;
// the checks that decide are not timed. Replaying, it makes the kept calls
// and nothing else, which holds as long as each replay starts from the
// state the learning started from.
class ChangePlan {
 public:
  void Learn(HWND window, Call call);
  // A hidden window made visible as it is, so that a scan finds it:
  // SW_SHOWMINNOACTIVE if it is minimised (restoring it would change more
  // than needed), otherwise SW_SHOWNOACTIVATE.
  void LearnShowAsItIs(HWND window);
  void Replay(CallTimes* times) const;

 private:
  void Keep(HWND window, Call call);

  std::vector<std::pair<HWND, Call>> calls_;
};

// Where the program puts every window it visits: at the origin, 800 x 600,
// or, minimised, with its icon's corner at the origin.
bool Placed(HWND window);

// Every window of lobbies and games but shown is hidden and placed, every
// such game minimised; shown, if not null, is visible, restored, placed
// and the foreground window.
bool LeftAsWalked(const std::vector<HWND>& lobbies,
                  const std::vector<HWND>& games, HWND shown);

}  // namespace corvantis::bench
