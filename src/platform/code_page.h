// Conversions between Unicode text and the bytes of a Windows code page.
#pragma once

#include <string>
#include <string_view>

#include "platform/window_system.h"

namespace corvantis {

// Simplified Chinese, the code page the stored messages are written in.
constexpr unsigned kCodePage936 = 936;

// Decodes bytes; a byte sequence that names no character becomes U+FFFD.
Text DecodeCodePage(std::string_view bytes, unsigned code_page);

// Encodes text; a character the code page cannot represent becomes "?".
std::string EncodeCodePage(const Text& text, unsigned code_page);

}  // namespace corvantis
