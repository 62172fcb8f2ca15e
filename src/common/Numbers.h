// Rounding, tolerant comparisons and number <-> text conversions shared by every subsystem.
// All conversions ignore the C locale: a decimal point is always '.'.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::common {

// Rounds half away from zero to `decimals` places (negative places round to tens, hundreds...).
// 1e-12 is added to the scaled magnitude so that values stored just below a half (0.285 is
// 0.28499999999999998) still round up. A zero result is always +0.0.
double decimalRound(double value, int decimals);

// Comparisons that treat differences within 1e-7 as equal.
inline constexpr double comparisonTolerance = 1e-7;
bool greaterThan(double a, double b);    // a - b >  1e-7
bool greaterOrEqual(double a, double b); // a - b >= -1e-7
bool lessThan(double a, double b);       // a - b <  -1e-7
bool lessOrEqual(double a, double b);    // a - b <= 1e-7

// printf-like texts ("%.13g", "%.6g", "%d"); zero, negative zero included, is "0".
std::string formatDouble(double value);
std::string formatSingle(float value);
std::string formatInteger(long long value);

// The value of the leading numeric part of `text`: blanks (spaces, tabs), a sign, digits with an
// optional decimal point, and an exponent only when digits follow the 'e'/'E'. 0 when the text
// does not start with a number. Magnitudes beyond double give +-infinity, tiny ones 0.
double parseLeadingNumber(std::string_view text);

// Truncation toward zero, saturating at the long long range; NaN gives 0.
long long truncateToInteger(double value);

// truncateToInteger(parseLeadingNumber(text)).
long long parseLeadingInteger(std::string_view text);

} // namespace zorvast::common
