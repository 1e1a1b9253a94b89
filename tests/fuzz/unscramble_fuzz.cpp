// Any stored text unscrambles without crashing into as many characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "companions/unscramble.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  corvantis::Text text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const corvantis::Text copy = text;
  const corvantis::Text shown = corvantis::UnscrambleMessage(text);
  if (shown.size() != text.size() || text != copy) std::abort();
  return 0;
}
