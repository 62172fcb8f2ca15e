#include "common/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zorvast::common {

double decimalRound(double value, int decimals) {
    if (value == 0.0 || !std::isfinite(value)) {
        return value == 0.0 ? 0.0 : value;
    }
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::fabs(value) * scale + 1e-12;
    double whole = std::floor(scaled);
    if (scaled - whole >= 0.5) {
        whole += 1.0;
    }
    const double result = whole / scale;
    if (result == 0.0) {
        return 0.0;
    }
    return value < 0 ? -result : result;
}

bool greaterThan(double a, double b) {
    return a - b > kComparisonTolerance;
}
bool greaterOrEqual(double a, double b) {
    return a - b >= -kComparisonTolerance;
}
bool lessThan(double a, double b) {
    return a - b < -kComparisonTolerance;
}
bool lessOrEqual(double a, double b) {
    return a - b <= kComparisonTolerance;
}

namespace {
std::string printed(const char* format, double value) {
    if (value == 0.0) {
        return "0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}
} // namespace

std::string formatDouble(double value) {
    return printed("%.13g", value);
}

std::string formatSingle(float value) {
    return printed("%.6g", static_cast<double>(value));
}

std::string formatInteger(long long value) {
    return std::to_string(value);
}

double parseLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    auto isDigit = [&](std::size_t k) {
        return k < text.size() && text[k] >= '0' && text[k] <= '9';
    };
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
            ++k;
        }
        if (isDigit(k)) {
            while (isDigit(k)) {
                ++k;
            }
            end = k;
        }
    }
    // from_chars reads no '+' and is locale-free.
    std::size_t from = start;
    const bool negative = text[from] == '-';
    if (text[from] == '+' || text[from] == '-') {
        ++from;
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data() + from, text.data() + end, value);
    if (ec == std::errc::result_out_of_range) {
        // Too large becomes infinity, too small zero, as strtod would.
        const std::string_view part = text.substr(from, end - from);
        const std::size_t e = part.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < part.size() && part[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        return 0.0;
    }
    (void)ptr;
    if (value == 0.0) {
        return 0.0;
    }
    return negative ? -value : value;
}

long long truncateToInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double limit = 9223372036854775807.0;
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
