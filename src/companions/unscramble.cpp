#include "companions/unscramble.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace corvantis {
namespace {

// The character's code in code page 936: its byte, or lead byte * 256 +
// trail byte.
std::uint16_t CodeOf(char16_t character) {
  std::uint16_t code = 0;
  for (const unsigned char byte :
       EncodeCodePage(Text(1, character), kCodePage936)) {
    code = static_cast<std::uint16_t>(code << 8 | byte);
  }
  return code;
}

// The character whose code in code page 936 is code: up to 0xFF a single
// byte, above it lead byte and trail byte.
char16_t CharacterOf(std::uint16_t code) {
  const char bytes[] = {static_cast<char>(code >> 8),
                        static_cast<char>(code & 0xFF)};
  const std::string_view sequence = code <= 0xFF
                                        ? std::string_view(bytes + 1, 1)
                                        : std::string_view(bytes, 2);
  const Text decoded = DecodeCodePage(sequence, kCodePage936);
  // Two characters come back when the high byte is no lead byte: the pair
  // names no one character.
  return decoded.size() == 1 ? decoded[0] : u'\uFFFD';
}

}  // namespace

Text UnscrambleMessage(const Text& stored) {
  Text shown;
  shown.reserve(stored.size());
  for (std::size_t position = 1; position <= stored.size(); ++position) {
    const auto shift = static_cast<std::uint16_t>(position % 11 + 5);
    // Unsigned 16-bit arithmetic has the bit pattern of the signed sum.
    shown.push_back(CharacterOf(
        static_cast<std::uint16_t>(CodeOf(stored[position - 1]) + shift)));
  }
  return shown;
}

}  // namespace corvantis
