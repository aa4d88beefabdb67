// Number texts: CDbl, Val and ToInt32 against an independent reading, and Str
// read back bit for bit. The input is both a text and, in its first eight
// bytes, the bits of a double.

#include "checks/number_reference.h"
#include "framework/text/text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::string shown(std::string_view text) {
  std::string s;
  for (const char c : text.substr(0, 200)) {
    if (c >= 0x20 && c < 0x7f) {
      s += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
      s += hex;
    }
  }
  return text.size() > 200 ? s + "... (" + std::to_string(text.size()) + " bytes)" : s;
}

[[noreturn]] void fail(const char* what, std::string_view text, double got, double want) {
  std::fprintf(stderr, "%s of \"%s\": got %.17g (bits %016llx), want %.17g (bits %016llx)\n", what,
               shown(text).c_str(), got, static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(got)), want,
               static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(want)));
  std::abort();
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

void checkReading(std::string_view text) {
  const double c = CDbl(text);
  if (!std::isfinite(c) || !sameBits(c, ReferenceCDbl(text))) fail("CDbl", text, c, ReferenceCDbl(text));
  const double v = Val(text);
  if (!std::isfinite(v) || !sameBits(v, ReferenceVal(text))) fail("Val", text, v, ReferenceVal(text));
  if (ToInt32(c) != ReferenceToInt32(c)) fail("ToInt32 of CDbl", text, ToInt32(c), ReferenceToInt32(c));
}

void checkWriting(double d) {
  if (ToInt32(d) != ReferenceToInt32(d)) fail("ToInt32", Str(d), ToInt32(d), ReferenceToInt32(d));
  const std::string s = Str(d);
  if (!std::isfinite(d)) {
    // Written as a word, which reads as no number.
    checkReading(s);
    return;
  }
  // The whole text is the number, and it reads back as the same bits.
  if (DecimalPrefixLength(s) != s.size()) fail("length of the number in Str", s, static_cast<double>(DecimalPrefixLength(s)), static_cast<double>(s.size()));
  if (!sameBits(CDbl(s), d)) fail("CDbl of Str", s, CDbl(s), d);
  if (!sameBits(Val(s), d)) fail("Val of Str", s, Val(s), d);
  const auto i = static_cast<std::int32_t>(std::bit_cast<std::uint64_t>(d));
  if (CDbl(Str(i)) != static_cast<double>(i)) fail("CDbl of Str of a whole number", Str(i), CDbl(Str(i)), i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkReading(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size >= sizeof(double)) {
    double d;
    std::memcpy(&d, data, sizeof d);
    checkWriting(d);
  }
  return 0;
}
