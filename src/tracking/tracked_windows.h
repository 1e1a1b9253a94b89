// The record of tracked windows: two lists the user sees, holding display
// texts, and two beside them holding the windows' handles as decimal text.
// Entry i of a display list describes the window of entry i of its handle
// list; entries are appended in pairs and removed all at once.
#pragma once

#include <optional>

#include "platform/window_system.h"
#include "tracking/controls.h"

namespace corvantis {

struct TrackedWindows {
  ListControl& 大厅名称;  // lobby display texts
  ListControl& 大厅句柄;  // lobby handle texts
  ListControl& 游戏名称;  // game display texts
  ListControl& 游戏句柄;  // game handle texts
};

Text Decimal(std::int64_t value);

// Signed decimal, "-" only when negative, no leading zeros.
Text HandleText(WindowHandle window);
// Reads a handle text back; nullopt for text that names no 32-bit value.
std::optional<WindowHandle> ParseHandleText(const Text& text);
// "<position>-<title>", position counted from 1.
Text DisplayText(std::int32_t position, const Text& title);

// The handle of entry index of a handle list; 0 when it names none.
WindowHandle HandleAt(const ListControl& handles, std::int16_t index);

// True when window is an entry of either handle list.
bool Tracks(const TrackedWindows& lists, WindowHandle window);

}  // namespace corvantis
