// Hiding, showing, selecting and closing the tracked windows. Every window
// visited is placed at the screen's top-left corner, 800 x 600.
#pragma once

#include <functional>

#include "platform/window_system.h"
#include "tracking/controls.h"
#include "tracking/scan.h"
#include "tracking/tracked_windows.h"

namespace corvantis {

constexpr std::int32_t kPlacedWidth = 800;
constexpr std::int32_t kPlacedHeight = 600;

// Who hid a window, as the mark on the window says.
enum class HiddenMark {
  None,          // no mark
  ThisPanel,     // this process
  RunningPanel,  // another panel process that still runs
  GonePanel,     // a panel process that has ended
};

HiddenMark WhoHid(WindowSystem& windows, WindowHandle window);

// The walks below wait in calls to other processes' windows, and messages
// sent to the panel meanwhile (the end of the session, a close from another
// program) can unload it. A walk that hides is given the panel's unloading
// state and hides nothing once it is set.
inline constexpr bool kStaysLoaded = false;

// The walks return false when a window refused what was asked of it, as
// the windows of a client with higher rights than the panel (run as
// administrator) may: a window that refuses its mark is left as it is, and
// one that refuses to be shown again keeps its mark.

// Lobbies are hidden directly; games are minimised before they are hidden.
bool HideTrackedWindows(WindowSystem& windows, const TrackedWindows& lists,
                        const bool& unloading = kStaysLoaded);
// Restores every tracked window, lobbies first.
bool ShowTrackedWindows(WindowSystem& windows, const TrackedWindows& lists);
// The same, and every window that fell out of the lists while this panel
// keeps it hidden: the panel's last walk.
bool ShowEveryWindowOfThisPanel(WindowSystem& windows,
                                const TrackedWindows& lists);
// Shows, places and focuses the window selected in names, whose handle is
// the entry of the same index in handles, then runs before_hiding, if any,
// and hides every other tracked window. Nothing happens when names has no
// selection.
bool SelectTrackedWindow(
    WindowSystem& windows, const TrackedWindows& lists,
    const ListControl& names, const ListControl& handles,
    const bool& unloading = kStaysLoaded,
    const std::function<void()>& before_hiding = std::function<void()>());
// Shows again, at the origin, every window that a panel process now ended
// left hidden, and removes its mark. So too for a panel process that still
// runs but has no window of panel_class any more, or whose window does not
// answer: the user could not get its windows back. Windows of other
// running panels are left. True when windows of such a process were shown.
bool RestoreWindowsOfEndedPanels(WindowSystem& windows,
                                 const Text& panel_class);
// Shows, at the origin, every window this panel process has hidden,
// whatever its lists say: for when the panel can trust nothing else, and
// for windows that once refused to be shown and fell out of the lists.
bool ShowWindowsHiddenByThisPanel(WindowSystem& windows);
// Shows again, at the origin, every window whose mark names panel, and
// removes the marks, whatever any list says: for when the panel has failed
// or ended. Queued calls only and a walk of bounded length, so that it
// ends in bounded time whatever the windows' threads and the z-order do;
// it allocates nothing, as the heap may be what failed.
void ShowWindowsMarkedBy(WindowSystem& windows, PanelProcess panel);

// The refresh's walks done as above: before the scan every tracked window
// is shown, a minimised one as it is, so that no window takes the focus;
// after it, every tracked window is hidden. A window that refused
// to be shown fell out of the lists while this panel keeps it hidden: when
// strays_possible says a walk of this run was refused, every such window
// is shown too, found by a walk of the whole desktop.
class TrackedWindowWalks final : public RefreshWalks {
 public:
  TrackedWindowWalks(WindowSystem& windows, bool strays_possible,
                     const bool& unloading = kStaysLoaded)
      : windows_(windows),
        strays_possible_(strays_possible),
        unloading_(unloading) {}
  bool ShowAll(const TrackedWindows& lists) override;
  bool HideAll(const TrackedWindows& lists) override;

 private:
  WindowSystem& windows_;
  const bool strays_possible_;
  const bool& unloading_;
};

// Asks every game, then every lobby, to close. False when the system
// refused to deliver a request, as it does for a client with higher
// rights.
bool CloseAllTrackedWindows(WindowSystem& windows, const TrackedWindows& lists);

}  // namespace corvantis
