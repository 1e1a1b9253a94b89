#include "app/guard.h"

#include "control/window_control.h"

namespace corvantis {

int GuardPanel(WindowSystem& windows, GuardedProcess& process,
               PanelProcess panel) {
  // A panel starts its guard with its own rights, so a process the guard
  // may not open is no panel of its: none runs under the id, or another
  // user's does. And the starter runs between the panel and its guard, so
  // the panel may have ended meanwhile. Only windows marked with this very
  // id and start are shown, which no running panel can carry.
  if (!process.Open(panel.id) || process.Start() != panel.start) {
    ShowWindowsMarkedBy(windows, panel);
    return 0;
  }
  if (!process.RunsThisProgram()) return 1;
  // The first window call of a process sets up its side of the window
  // system (under Wine it loads the display driver, a few hundred ms):
  // made now, it is not paid for between the panel's end and the restore.
  windows.EnumChildWindows(
      0, [](WindowHandle, std::int32_t) -> std::int32_t { return 0; }, 0);
  if (!process.BecomeOnlyGuard(panel)) return 1;
  process.WaitForEnd();
  // After a normal end the panel has shown everything and this finds
  // nothing.
  ShowWindowsMarkedBy(windows, panel);
  return 0;
}

}  // namespace corvantis
