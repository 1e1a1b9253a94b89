// Any text typed as the auto-refresh period gives either nothing or an
// interval within the accepted range, and never crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/period.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  corvantis::Text text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const auto interval = corvantis::IntervalFromPeriod(text);
  if (interval && *interval > corvantis::kMaxPeriodSeconds * 1000.0) {
    std::abort();
  }
  return 0;
}
