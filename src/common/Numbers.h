// Rounding, tolerant comparison and number <-> text conversion, the same everywhere in
// the program so that every screen and export agrees on a value.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::common {

// Half away from zero, with a 1e-12 nudge so that values stored just below a half
// (2.45 is 2.4500000000000002 or 2.4499999999999997) still round up.
double decimalRound(double value, int decimals);

// Comparisons that ignore differences below 1e-7.
inline constexpr double kComparisonTolerance = 1e-7;
bool greaterThan(double a, double b);    // a - b > 1e-7
bool greaterOrEqual(double a, double b); // a - b >= -1e-7
bool lessThan(double a, double b);       // a - b < -1e-7
bool lessOrEqual(double a, double b);    // a - b <= 1e-7

// "%.13g", "%.6g" and "%d"; zero is always "0", never "-0".
std::string formatDouble(double value);
std::string formatSingle(float value);
std::string formatInteger(long long value);

// The leading numeric part of a text (blanks, sign, digits, point, exponent); 0 when there
// is none. Independent of the C locale.
double parseLeadingNumber(std::string_view text);
// Toward zero, saturating at the range of long long; NaN gives 0.
long long truncateToInteger(double value);
long long parseLeadingInteger(std::string_view text);

} // namespace zorvast::common
