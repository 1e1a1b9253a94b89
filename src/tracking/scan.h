// Deciding, window by window, what the client's windows are and recording
// them in the tracked-window lists.
#pragma once

#include "control/window_control.h"
#include "platform/window_system.h"
#include "tracking/controls.h"
#include "tracking/tracked_windows.h"

namespace corvantis {

enum class WindowKind { Untracked, Lobby, Game };

// What the scan reads of one window before it decides.
struct WindowFacts {
  Text title;
  Text class_name;
  std::int32_t width = 0;
  bool visible = false;
};

WindowKind ClassifyWindow(const WindowFacts& facts);

// Reads a window's facts the way the scan does: title through its length,
// class name through a 256-unit buffer, width from its rectangle.
WindowFacts ReadWindowFacts(WindowSystem& windows, WindowHandle window);

// The panel whose lists the scan fills. The enumeration takes a plain
// function, so the scan reaches the panel through this single instance.
struct ScanTarget {
  WindowSystem& windows;
  TrackedWindows& lists;
};

// Installs target for the life of this object (one enumeration).
class ScopedScanTarget {
 public:
  explicit ScopedScanTarget(ScanTarget& target);
  ~ScopedScanTarget();
  ScopedScanTarget(const ScopedScanTarget&) = delete;
  ScopedScanTarget& operator=(const ScopedScanTarget&) = delete;

 private:
  ScanTarget* previous_;
};

// Records window in the current target's lists if it is a lobby or a game.
// Always returns 1, so the enumeration visits every window.
std::int32_t ScanWindowProc(WindowHandle window, std::int32_t argument);

// Rebuilds the lists from the desktop, writes the two counts to their
// labels, and leaves every tracked window hidden. Shows and hides as the
// walks of control/window_control.h do, and returns false as they do.
bool RefreshWindowLists(WindowSystem& windows, TrackedWindows& lists,
                        CaptionControl& Label1, CaptionControl& Label2,
                        const bool& unloading = kStaysLoaded);

}  // namespace corvantis
