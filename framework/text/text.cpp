#include "framework/text/text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

std::string Str(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  std::array<char, 64> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), res.ptr);
}

std::string Str(std::int32_t value) { return std::to_string(value); }

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of s, 0 if there is none.
std::size_t numberPrefix(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) { ++i; ++digits; }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) { ++i; ++digits; }
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expStart = j;
    while (j < s.size() && isDigit(s[j])) ++j;
    if (j > expStart) i = j;
  }
  return i;
}

double parseDecimal(std::string_view s) {
  std::size_t start = 0;
  while (start < s.size() && isBlank(s[start])) ++start;
  s.remove_prefix(start);
  const std::size_t len = numberPrefix(s);
  if (len == 0) return 0.0;
  std::string_view num = s.substr(0, len);
  const bool negative = num.front() == '-';
  if (num.front() == '+' || num.front() == '-') num.remove_prefix(1);
  double value = 0.0;
  const auto res = std::from_chars(num.data(), num.data() + num.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    // from_chars leaves value unspecified here: decide overflow vs underflow
    // from the exponent sign and the mantissa.
    const auto e = num.find_first_of("eE");
    const bool negExp = e != std::string_view::npos && e + 1 < num.size() && num[e + 1] == '-';
    value = negExp ? 0.0 : std::numeric_limits<double>::max();
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  if (!std::isfinite(value)) value = std::numeric_limits<double>::max();
  return negative ? -value : value;
}

}  // namespace

double CDbl(std::string_view text) { return parseDecimal(text); }

double Val(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  std::string_view s = text.substr(start);
  if (s.size() >= 2 && s[0] == '&') {
    int base = 0;
    switch (s[1]) {
      case 'h': case 'H': base = 16; break;
      case 'o': case 'O': base = 8; break;
      case 'b': case 'B': base = 2; break;
      default: break;
    }
    if (base != 0) {
      s.remove_prefix(2);
      std::uint64_t v = 0;
      const auto res = std::from_chars(s.data(), s.data() + s.size(), v, base);
      if (res.ec == std::errc::result_out_of_range) return static_cast<double>(std::numeric_limits<std::uint64_t>::max());
      return res.ec == std::errc() ? static_cast<double>(v) : 0.0;
    }
  }
  return parseDecimal(s);
}

std::int32_t ToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);  // truncates toward zero
}
