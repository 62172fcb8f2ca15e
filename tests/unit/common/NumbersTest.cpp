#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace zorvast::common {
namespace {

struct RoundCase {
    double value;
    int decimals;
    double expected;
};

TEST(DecimalRound, Table) {
    const std::vector<RoundCase> cases = {
        {2.45, 1, 2.5},
        {-2.45, 1, -2.5},
        {0.0, 3, 0.0},
        {-0.0, 3, 0.0},
        {0.285, 2, 0.29}, // stored as 0.28499999999999998
        {-0.285, 2, -0.29},
        {1.005, 2, 1.01}, // stored as 1.00499999999999989
        {1.015, 2, 1.02},
        {2.675, 2, 2.68},
        {0.5, 0, 1.0},
        {-0.5, 0, -1.0},
        {1.49999, 0, 1.0},
        {2.5, 0, 3.0},
        {-3.5, 0, -4.0},
        {0.44, 1, 0.4},
        {-0.04, 1, 0.0},
        {113.57835, 3, 113.578},
        {39.9049999, 2, 39.9},
        {123.456789, 4, 123.4568},
        {1.23456789012, 10, 1.2345678901},
        {1234.5, -2, 1200.0},
        {1250.0, -2, 1300.0},
        {-1250.0, -2, -1300.0},
        {149.0, -2, 100.0},
        {1e15 + 0.5, 0, 1e15 + 1.0},
        {7.0, 400, 7.0},
        {-7.0, -400, 0.0},
    };
    for (const RoundCase& c : cases) {
        const double got = decimalRound(c.value, c.decimals);
        EXPECT_DOUBLE_EQ(got, c.expected) << "decimalRound(" << formatDouble(c.value) << ", "
                                          << c.decimals << ") = " << formatDouble(got);
    }
}

TEST(DecimalRound, ZeroResultsAreNeverNegative) {
    EXPECT_FALSE(std::signbit(decimalRound(-0.0, 2)));
    EXPECT_FALSE(std::signbit(decimalRound(-0.004, 2)));
    EXPECT_EQ(formatDouble(decimalRound(-0.004, 2)), "0");
}

TEST(DecimalRound, NonFiniteValuesPassThrough) {
    EXPECT_TRUE(std::isnan(decimalRound(std::nan(""), 2)));
    EXPECT_EQ(decimalRound(std::numeric_limits<double>::infinity(), 2),
              std::numeric_limits<double>::infinity());
}

struct CompareCase {
    double a;
    double b;
    bool greater;
    bool greaterEqual;
    bool less;
    bool lessEqual;
};

TEST(TolerantComparison, AtAndAroundTheTolerance) {
    const std::vector<CompareCase> cases = {
        // a, b, >, >=, <, <=
        {1.0, 1.0, false, true, false, true},        {1.0 + 5e-8, 1.0, false, true, false, true},
        {1.0 - 5e-8, 1.0, false, true, false, true}, {1.0 + 2e-7, 1.0, true, true, false, false},
        {1.0 - 2e-7, 1.0, false, false, true, true}, {0.3, 0.1 + 0.2, false, true, false, true},
        {1e-7, 0.0, false, true, false, true}, // exactly the tolerance is still "equal"
        {-1e-7, 0.0, false, true, false, true},      {1.1e-7, 0.0, true, true, false, false},
        {-1.1e-7, 0.0, false, false, true, true},    {1.02, 1.01, true, true, false, false},
        {1.01, 1.02, false, false, true, true},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE("a=" + formatDouble(c.a) + " b=" + formatDouble(c.b));
        EXPECT_EQ(greaterThan(c.a, c.b), c.greater);
        EXPECT_EQ(greaterOrEqual(c.a, c.b), c.greaterEqual);
        EXPECT_EQ(lessThan(c.a, c.b), c.less);
        EXPECT_EQ(lessOrEqual(c.a, c.b), c.lessEqual);
    }
}

TEST(FormatDouble, Table) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0 / 3.0, "0.3333333333333"},
        {2.0 / 3.0, "0.6666666666667"},
        {-2.5, "-2.5"},
        {113.5, "113.5"},
        {100.0, "100"},
        {1e20, "1e+20"},
        {1234567890123.0, "1234567890123"},
        {12345678901234.0, "1.234567890123e+13"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {-1e-20, "-1e-20"},
        {0.1 + 0.2, "0.3"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(formatDouble(value), expected) << "value " << value;
    }
}

TEST(FormatSingle, Table) {
    const std::vector<std::pair<float, std::string>> cases = {
        {0.0f, "0"},
        {-0.0f, "0"},
        {1.0f / 3.0f, "0.333333"},
        {12.5f, "12.5"},
        {123456.7f, "123457"},
        {1234567.0f, "1.23457e+06"},
        {-0.1f, "-0.1"},
        {3.14159265f, "3.14159"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(formatSingle(value), expected) << "value " << value;
    }
}

TEST(FormatInteger, Table) {
    EXPECT_EQ(formatInteger(0), "0");
    EXPECT_EQ(formatInteger(42), "42");
    EXPECT_EQ(formatInteger(-7), "-7");
    EXPECT_EQ(formatInteger(std::numeric_limits<long long>::max()), "9223372036854775807");
    EXPECT_EQ(formatInteger(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

struct ParseCase {
    std::string text;
    double expected;
};

TEST(ParseLeadingNumber, Table) {
    const std::vector<ParseCase> cases = {
        {"12abc", 12.0},
        {"  -3.5e2x", -350.0},
        {"\t\t7", 7.0},
        {"e5", 0.0},
        {".", 0.0},
        {"", 0.0},
        {"   ", 0.0},
        {"abc", 0.0},
        {"1e", 1.0},
        {"1e+", 1.0},
        {"1e-", 1.0},
        {"1ex", 1.0},
        {"1E3", 1000.0},
        {"2.5e-1", 0.25},
        {"+.5", 0.5},
        {"-.5", -0.5},
        {"5.", 5.0},
        {"-", 0.0},
        {"+", 0.0},
        {"- 5", 0.0},
        {"+-5", 0.0},
        {"1,5", 1.0},
        {"3.14.15", 3.14},
        {"007", 7.0},
        {"113.5°E", 113.5},
        {"\n5", 0.0},
        {"1e400", std::numeric_limits<double>::infinity()},
        {"-1e400", -std::numeric_limits<double>::infinity()},
        {"0.000001e-400", 0.0},
        {"1.5e300", 1.5e300},
        {"000000000000000000000000000000000000000012", 12.0},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(parseLeadingNumber(c.text), c.expected) << "text \"" << c.text << "\"";
    }
}

TEST(ParseLeadingNumber, NegativeZeroIsZero) {
    EXPECT_FALSE(std::signbit(parseLeadingNumber("-0")));
    EXPECT_FALSE(std::signbit(parseLeadingNumber("-0.0e5")));
}

// The C library's number functions follow LC_NUMERIC; ours must not. A comma-decimal locale
// may not be installed, in which case the conversions are still checked in the "C" locale.
TEST(NumberText, IndependentOfTheCLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            break;
        }
    }
    EXPECT_EQ(parseLeadingNumber("3.25"), 3.25);
    EXPECT_EQ(parseLeadingNumber("3,25"), 3.0);
    EXPECT_EQ(formatDouble(3.25), "3.25");
    EXPECT_EQ(formatSingle(3.25f), "3.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(TruncateToInteger, Table) {
    const double inf = std::numeric_limits<double>::infinity();
    const long long max = std::numeric_limits<long long>::max();
    const long long min = std::numeric_limits<long long>::min();
    const std::vector<std::pair<double, long long>> cases = {
        {0.0, 0},      {2.9, 2},          {-2.9, -2},
        {0.999999, 0}, {-0.5, 0},         {1e18, 1000000000000000000LL},
        {9.3e18, max}, {-9.3e18, min},    {inf, max},
        {-inf, min},   {std::nan(""), 0}, {-9223372036854775808.0, min},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(truncateToInteger(value), expected) << "value " << formatDouble(value);
    }
}

TEST(ParseLeadingInteger, Table) {
    const std::vector<std::pair<std::string, long long>> cases = {
        {"12abc", 12},
        {"-3.9", -3},
        {"  45.99 MHz", 45},
        {"x", 0},
        {"1e3", 1000},
        {"-0.2", 0},
        {"99999999999999999999", std::numeric_limits<long long>::max()},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseLeadingInteger(text), expected) << "text \"" << text << "\"";
    }
}

} // namespace
} // namespace zorvast::common
