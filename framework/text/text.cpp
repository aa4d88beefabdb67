#include "framework/text/text.h"

#include <algorithm>
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

// Whether a number out of the double range (digits, fraction, exponent; no
// sign) is too large rather than too small: whether its first non-zero digit
// stands at or above the units place once the exponent is applied. Only
// needed at the extremes, so the margin of the comparison is of no concern.
bool beyondLargest(std::string_view num) {
  const std::size_t e = num.find_first_of("eE");
  const std::string_view mantissa = num.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;  // zero digits: never out of range
  // The power of ten of the first significant digit, before the exponent.
  const std::int64_t place = first < point ? static_cast<std::int64_t>(point - first) - 1
                                           : -static_cast<std::int64_t>(first - point);
  std::int64_t exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = num.substr(e + 1);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    // Saturates far beyond any place a text could hold, and far below overflow.
    constexpr std::int64_t cap = 100'000'000'000'000'000;
    for (const char c : digits) exponent = std::min(cap, exponent * 10 + (c - '0'));
    if (negative) exponent = -exponent;
  }
  return place + exponent >= 0;
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
    // from_chars leaves value unspecified here: overflow saturates, and
    // underflow (whatever rounds below the smallest subnormal) gives 0.
    value = beyondLargest(num) ? std::numeric_limits<double>::max() : 0.0;
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
