// Hiding, showing, selecting and closing the tracked windows. Every window
// visited is placed at the screen's top-left corner, 800 x 600.
#pragma once

#include "platform/window_system.h"
#include "tracking/controls.h"
#include "tracking/tracked_windows.h"

namespace corvantis {

constexpr std::int32_t kPlacedWidth = 800;
constexpr std::int32_t kPlacedHeight = 600;

// Lobbies are hidden directly; games are minimised before they are hidden.
void HideTrackedWindows(WindowSystem& windows, const TrackedWindows& lists);
// Restores every tracked window, lobbies first.
void ShowTrackedWindows(WindowSystem& windows, const TrackedWindows& lists);
// Hides every tracked window, then shows and places the one selected in
// names, whose handle is the entry of the same index in handles. Nothing
// happens when names has no selection.
void SelectTrackedWindow(WindowSystem& windows, const TrackedWindows& lists,
                         const ListControl& names, const ListControl& handles);
// Shows again, at the origin, every window that a panel process now ended
// left hidden, and removes its mark. Windows of running panels are left.
void RestoreWindowsOfEndedPanels(WindowSystem& windows);
// Shows, at the origin, every window this panel process has hidden,
// whatever its lists say: for when the panel can trust nothing else.
void ShowWindowsHiddenByThisPanel(WindowSystem& windows);

// Asks every game, then every lobby, to close.
void CloseAllTrackedWindows(WindowSystem& windows, const TrackedWindows& lists);

}  // namespace corvantis
