#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Number <-> text conversions with the program's rules.

// Shortest text that reads back as the same double; whole numbers carry no
// fraction ("3", "0.5", "1e+20"). Non-finite values give "inf", "-inf", "nan".
std::string Str(double value);
std::string Str(std::int32_t value);

// The longest decimal number at the start of the text, after leading blanks
// (sign, digits, fraction, exponent). No number reads as 0. Never NaN and never
// infinite: a number out of range saturates to the largest finite double.
double CDbl(std::string_view text);
// As CDbl; also reads "&h" hexadecimal, "&o" octal and "&b" binary whole numbers.
double Val(std::string_view text);

// Truncation toward zero, saturating at the Int32 range; NaN gives 0.
std::int32_t ToInt32(double value);
