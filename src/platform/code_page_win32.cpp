// Code page conversions through the system's own tables.
#include <windows.h>

#include "platform/code_page.h"
#include "platform/dbcs.h"

namespace corvantis {
namespace {

// Appends the characters of bytes; false, appending nothing, when any
// sequence names no character.
bool AppendDecoded(std::string_view bytes, unsigned code_page, Text& output) {
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS,
                                        bytes.data(), size, nullptr, 0);
  if (units <= 0) return false;
  const std::size_t start = output.size();
  output.resize(start + units);
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size,
                      reinterpret_cast<wchar_t*>(&output[start]), units);
  return true;
}

// Appends the bytes of the size units at text; false, appending nothing,
// when the code page cannot represent one of them.
bool AppendEncoded(const char16_t* text, std::size_t size, unsigned code_page,
                   std::string& output) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  const int length = static_cast<int>(size);
  // UTF-8 and UTF-7 take neither the best-fit switch nor a default
  // character; every other code page would otherwise turn, say, "à" into
  // "a" instead of "?".
  const bool unicode = code_page == CP_UTF8 || code_page == CP_UTF7;
  const DWORD flags = code_page == CP_UTF8 ? WC_ERR_INVALID_CHARS
                      : unicode            ? 0
                                           : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* report_default = unicode ? nullptr : &used_default;
  const int bytes = WideCharToMultiByte(code_page, flags, wide, length, nullptr,
                                        0, nullptr, report_default);
  if (bytes <= 0 || used_default) return false;
  const std::size_t start = output.size();
  output.resize(start + bytes);
  WideCharToMultiByte(code_page, flags, wide, length, &output[start], bytes,
                      nullptr, report_default);
  return true;
}

}  // namespace

Text DecodeCodePage(std::string_view bytes, unsigned code_page) {
  Text result;
  if (bytes.empty() || AppendDecoded(bytes, code_page, result)) return result;
  // Character by character, so that only the bad sequences are replaced.
  while (!bytes.empty()) {
    const std::size_t length = CharacterLength(bytes, code_page);
    if (!AppendDecoded(bytes.substr(0, length), code_page, result)) {
      result.push_back(u'\uFFFD');
    }
    bytes.remove_prefix(length);
  }
  return result;
}

std::string EncodeCodePage(const Text& text, unsigned code_page) {
  std::string result;
  if (text.empty() ||
      AppendEncoded(text.data(), text.size(), code_page, result)) {
    return result;
  }
  // Character by character, so that each one not representable becomes a
  // single "?" (a surrogate pair is one character).
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length =
        CharacterLength(text.data() + at, text.size() - at);
    if (!AppendEncoded(text.data() + at, length, code_page, result)) {
      result.push_back('?');
    }
    at += length;
  }
  return result;
}

}  // namespace corvantis
