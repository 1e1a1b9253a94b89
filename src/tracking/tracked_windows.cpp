#include "tracking/tracked_windows.h"

#include <limits>
#include <string>

namespace corvantis {
Text Decimal(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

Text HandleText(WindowHandle window) { return Decimal(window); }

std::optional<WindowHandle> ParseHandleText(const Text& text) {
  std::size_t position = 0;
  const bool negative = !text.empty() && text[0] == u'-';
  if (negative) position = 1;
  if (position == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; position < text.size(); ++position) {
    const char16_t digit = text[position];
    if (digit < u'0' || digit > u'9') return std::nullopt;
    value = value * 10 + (digit - u'0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
      return std::nullopt;
    }
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<WindowHandle>(value);
}

Text DisplayText(std::int32_t position, const Text& title) {
  return Decimal(position) + u"-" + title;
}

WindowHandle HandleAt(const ListControl& handles, std::int16_t index) {
  return ParseHandleText(handles.List(index)).value_or(0);
}

bool Tracks(const TrackedWindows& lists, WindowHandle window) {
  for (const ListControl* handles : {&lists.大厅句柄, &lists.游戏句柄}) {
    for (std::int16_t i = 0; i < handles->ListCount(); ++i) {
      if (HandleAt(*handles, i) == window) return true;
    }
  }
  return false;
}

}  // namespace corvantis
