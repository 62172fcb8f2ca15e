#include "common/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace zorvast::common {

double decimalRound(double value, int decimals) {
    if (value == 0.0) {
        return 0.0;
    }
    if (!std::isfinite(value)) {
        return value;
    }
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::fabs(value) * scale + 1e-12;
    if (scale == 0.0 || !std::isfinite(scaled)) {
        // The scaling left double's range: far more places than a double holds keeps the
        // value, far fewer than its magnitude rounds it to zero.
        return scale == 0.0 ? 0.0 : value;
    }
    double whole = std::floor(scaled);
    if (scaled - whole >= 0.5) {
        whole += 1.0;
    }
    const double magnitude = whole / scale;
    if (magnitude == 0.0) {
        return 0.0;
    }
    return value < 0.0 ? -magnitude : magnitude;
}

bool greaterThan(double a, double b) {
    return a - b > comparisonTolerance;
}
bool greaterOrEqual(double a, double b) {
    return a - b >= -comparisonTolerance;
}
bool lessThan(double a, double b) {
    return a - b < -comparisonTolerance;
}
bool lessOrEqual(double a, double b) {
    return a - b <= comparisonTolerance;
}

namespace {

// std::to_chars with a precision behaves like printf's %g in the "C" locale.
std::string formatGeneral(double value, int precision) {
    if (value == 0.0) {
        return "0";
    }
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    if (ec != std::errc()) {
        return "0";
    }
    return std::string(buffer, end);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string formatDouble(double value) {
    return formatGeneral(value, 13);
}

std::string formatSingle(float value) {
    // %g promotes a float to double; so does this.
    return formatGeneral(static_cast<double>(value), 6);
}

std::string formatInteger(long long value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

double parseLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Copy the recognised part without sign into a clean buffer for std::from_chars, which
    // accepts neither blanks nor '+' but is locale independent.
    std::string number;
    std::size_t integerDigits = 0;
    std::size_t fractionDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        number += text[i++];
        ++integerDigits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++fractionDigits;
        }
        if (integerDigits + fractionDigits > 0) {
            number.append(text.substr(i, j - i));
            i = j;
        }
    }
    if (integerDigits + fractionDigits == 0) {
        return 0.0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                ++j;
            }
            number.append(text.substr(i, j - i));
        }
    }

    double result = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), result,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Overflow or underflow: tell them apart by the decimal exponent of the first
        // significant digit (the mantissa is non-zero, or there would be no range error).
        long long exponent = 0;
        const std::size_t ePos = number.find_first_of("eE");
        if (ePos != std::string::npos) {
            std::size_t k = ePos + 1;
            bool expNegative = false;
            if (number[k] == '+' || number[k] == '-') {
                expNegative = number[k] == '-';
                ++k;
            }
            for (; k < number.size(); ++k) {
                if (exponent < 1'000'000'000) {
                    exponent = exponent * 10 + (number[k] - '0');
                }
            }
            if (expNegative) {
                exponent = -exponent;
            }
        }
        const std::string_view mantissa = std::string_view(number).substr(0, ePos);
        const std::size_t firstSignificant = mantissa.find_first_of("123456789");
        const std::size_t point = mantissa.find('.');
        const long long pointPos =
            static_cast<long long>(point == std::string_view::npos ? mantissa.size() : point);
        long long position = static_cast<long long>(firstSignificant);
        if (point != std::string_view::npos && firstSignificant > point) {
            --position;
        }
        result =
            exponent + (pointPos - position) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        return 0.0;
    }
    if (result == 0.0) {
        return 0.0; // "-0" must not become negative zero
    }
    return negative ? -result : result;
}

long long truncateToInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exact in a double; everything below it truncates into range.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit) {
        return std::numeric_limits<long long>::max();
    }
    if (value <= -limit) {
        return std::numeric_limits<long long>::min();
    }
    return static_cast<long long>(std::trunc(value));
}

long long parseLeadingInteger(std::string_view text) {
    return truncateToInteger(parseLeadingNumber(text));
}

} // namespace zorvast::common
