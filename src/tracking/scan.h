// Deciding, window by window, what the client's windows are and recording
// them in the tracked-window lists.
#pragma once

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

// What a refresh asks of the window control around its scan. Each returns
// false when a window refused what was asked of it.
class RefreshWalks {
 public:
  virtual ~RefreshWalks() = default;
  // Every window the lists track, and every one this panel still keeps
  // hidden, is shown before the scan tests visibility.
  virtual bool ShowAll(const TrackedWindows& lists) = 0;
  // Every window the new lists track is hidden.
  virtual bool HideAll(const TrackedWindows& lists) = 0;
};

// Rebuilds the lists from the desktop, writes the two counts to their
// labels, and leaves every tracked window hidden; false when a window
// refused one of the walks.
bool RefreshWindowLists(WindowSystem& windows, TrackedWindows& lists,
                        CaptionControl& Label1, CaptionControl& Label2,
                        RefreshWalks& walks);

}  // namespace corvantis
