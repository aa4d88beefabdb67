#pragma once

#include <cstdint>
#include <string_view>

// An independent reading of number texts, to hold the program's own against.
// It finds the longest decimal prefix by its own scan and hands exactly that
// prefix to the C library's correctly rounded strtod, in the "C" locale
// whatever the process has set.

// Length of the decimal number that starts `text` (sign, digits, fraction,
// exponent); 0 when there is none. Blanks are not skipped here.
std::size_t DecimalPrefixLength(std::string_view text);

// The value the program's CDbl must give: the longest decimal prefix after
// leading blanks, 0 without one, overflow saturated to the largest finite
// double, underflow to zero or the nearest subnormal, sign kept.
double ReferenceCDbl(std::string_view text);

// As ReferenceCDbl, plus "&h", "&o" and "&b" whole numbers, which saturate at
// the largest 64-bit unsigned value.
double ReferenceVal(std::string_view text);

// Truncation toward zero, saturated to the Int32 range; NaN gives 0.
std::int32_t ReferenceToInt32(double value);
