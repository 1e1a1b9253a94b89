// How the bytes of a double-byte code page group into characters, so that
// every platform replaces the same bytes when a sequence names nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/code_page.h"

namespace corvantis {

// The number of bytes of the character that begins bytes (not empty): two
// for a lead byte followed by a byte of the trail range, one otherwise. A
// lead byte without a trail byte stands alone and names no character.
inline std::size_t CharacterLength(std::string_view bytes, unsigned code_page) {
  if (code_page != kCodePage936 || bytes.size() < 2) return 1;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const auto trail = static_cast<unsigned char>(bytes[1]);
  const bool is_lead = lead >= 0x81 && lead <= 0xFE;
  const bool is_trail = trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
  return is_lead && is_trail ? 2 : 1;
}

// The number of UTF-16 units of the character that begins text (not
// empty): two for a surrogate pair, one otherwise.
inline std::size_t CharacterLength(const char16_t* text, std::size_t size) {
  const bool high = text[0] >= 0xD800 && text[0] <= 0xDBFF;
  return high && size >= 2 && text[1] >= 0xDC00 && text[1] <= 0xDFFF ? 2 : 1;
}

}  // namespace corvantis
