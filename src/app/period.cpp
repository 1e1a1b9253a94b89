#include "app/period.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace corvantis {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\r' || c == u'\n';
}

// Folds full-width forms (as an input method types them) to ASCII; returns 0
// for a character that cannot be part of a number.
char NumberCharacter(char16_t c) {
  if (c >= u'\uFF01' && c <= u'\uFF5E') {
    c = static_cast<char16_t>(c - 0xFEE0);
  }
  if ((c >= u'0' && c <= u'9') || c == u'.' || c == u'+' || c == u'-' ||
      c == u'e' || c == u'E') {
    return static_cast<char>(c);
  }
  return 0;
}

// A plain decimal number: sign, digits, point, digits, exponent. strtod
// alone would also take "nan", "inf" and hexadecimal forms.
bool IsDecimalNumber(const std::string& text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  return i == text.size();
}

}  // namespace

std::optional<std::uint32_t> IntervalFromPeriod(const Text& period) {
  std::size_t begin = 0;
  std::size_t end = period.size();
  while (begin < end && IsBlank(period[begin])) ++begin;
  while (end > begin && IsBlank(period[end - 1])) --end;
  // No decimal number a user would type for a period is longer than this.
  constexpr std::size_t kLongestNumber = 64;
  if (end - begin > kLongestNumber) return std::nullopt;
  std::string ascii;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = NumberCharacter(period[i]);
    if (c == 0) return std::nullopt;
    ascii.push_back(c);
  }
  if (!IsDecimalNumber(ascii)) return std::nullopt;
  // The C locale's strtod reads "." as the decimal point.
  const double seconds = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(seconds)) return std::nullopt;
  // nearbyint rounds halves to even in the default rounding mode.
  const double milliseconds = std::nearbyint(seconds * 1000.0);
  if (milliseconds < 0.0 || milliseconds > kMaxPeriodSeconds * 1000.0) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(milliseconds);
}

}  // namespace corvantis
