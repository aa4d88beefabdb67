#include "number_reference.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

std::string_view afterBlanks(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  return s;
}

// A private "C" locale: strtod reads '.' as the decimal point whatever the
// program has set for the process.
locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// Value of one digit in `base`, or -1.
int digitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'z') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z') v = c - 'A' + 10;
  return v < base ? v : -1;
}

}  // namespace

std::size_t DecimalPrefixLength(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t intStart = i;
  while (i < s.size() && digit(s[i])) ++i;
  bool anyDigit = i > intStart;
  if (i < s.size() && s[i] == '.') {
    const std::size_t fracStart = ++i;
    while (i < s.size() && digit(s[i])) ++i;
    anyDigit = anyDigit || i > fracStart;
  }
  if (!anyDigit) return 0;
  // An exponent counts only with at least one digit: "2e" is the number 2.
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expStart = j;
    while (j < s.size() && digit(s[j])) ++j;
    if (j > expStart) i = j;
  }
  return i;
}

double ReferenceCDbl(std::string_view text) {
  const std::string_view s = afterBlanks(text);
  const std::size_t n = DecimalPrefixLength(s);
  if (n == 0) return 0.0;
  const std::string prefix(s.substr(0, n));
  double v = strtod_l(prefix.c_str(), nullptr, cLocale());
  if (std::isinf(v)) v = std::copysign(std::numeric_limits<double>::max(), v);
  return v;
}

double ReferenceVal(std::string_view text) {
  const std::string_view s = afterBlanks(text);
  if (s.size() >= 2 && s[0] == '&') {
    int base = 0;
    switch (s[1]) {
      case 'h': case 'H': base = 16; break;
      case 'o': case 'O': base = 8; break;
      case 'b': case 'B': base = 2; break;
      default: break;
    }
    if (base != 0) {
      constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
      std::uint64_t v = 0;
      bool saturated = false;
      for (std::size_t i = 2; i < s.size(); ++i) {
        const int d = digitValue(s[i], base);
        if (d < 0) break;
        if (v > (top - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) saturated = true;
        else v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
      }
      return static_cast<double>(saturated ? top : v);
    }
  }
  return ReferenceCDbl(s);
}

std::int32_t ReferenceToInt32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  const double t = std::trunc(value);
  if (t < lo) return std::numeric_limits<std::int32_t>::min();
  if (t > hi) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(static_cast<std::int64_t>(t));
}
