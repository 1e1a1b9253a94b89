// The auto-refresh period: seconds typed by the user, as a timer interval.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/window_system.h"

namespace corvantis {

// The longest period accepted, one day.
constexpr double kMaxPeriodSeconds = 86400.0;

// The interval in milliseconds for a period text: the number of seconds
// times 1000, rounded to the nearest integer, halves to even. Blanks around
// the number and full-width digits are accepted. Nothing for a text that is
// not a number, or a period that is negative, not finite or beyond a day.
std::optional<std::uint32_t> IntervalFromPeriod(const Text& period);

}  // namespace corvantis
