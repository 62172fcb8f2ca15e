#include "common/Numbers.h"
#include "common/Clock.h"
#include "common/Files.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace zorvast::common {
namespace {

struct RoundCase {
    double value;
    int decimals;
    double expected;
};

TEST(DecimalRound, HalfAwayFromZeroWithTheNudge) {
    const RoundCase cases[] = {
        {2.45, 1, 2.5},       {-2.45, 1, -2.5},   {0.0, 1, 0.0},       {-0.0, 3, 0.0},
        {2.44, 1, 2.4},       {-2.44, 1, -2.4},   {0.285, 2, 0.29},    {1.005, 2, 1.01},
        {1.015, 2, 1.02},     {2.675, 2, 2.68},   {0.5, 0, 1.0},       {-0.5, 0, -1.0},
        {0.49999, 0, 0.0},    {-0.04, 1, 0.0},    {123.456, 0, 123.0}, {1234.5, -1, 1230.0},
        {1235.0, -1, 1240.0}, {116.46, 1, 116.5}, {39.2, 2, 39.2},     {-179.95, 1, -180.0},
    };
    for (const RoundCase& c : cases) {
        const double r = decimalRound(c.value, c.decimals);
        EXPECT_NEAR(r, c.expected, 1e-12) << c.value << " to " << c.decimals;
        EXPECT_FALSE(std::signbit(r) && r == 0.0) << "no negative zero for " << c.value;
    }
}

TEST(TolerantComparison, DifferencesBelowTheToleranceAreEqual) {
    struct Case {
        double a, b;
        bool gt, ge, lt, le;
    };
    const Case cases[] = {
        {1.0, 1.0, false, true, false, true},        {1.0 + 5e-8, 1.0, false, true, false, true},
        {1.0 - 5e-8, 1.0, false, true, false, true}, {1.0 + 2e-7, 1.0, true, true, false, false},
        {1.0 - 2e-7, 1.0, false, false, true, true}, {-3.0, 2.0, false, false, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(greaterThan(c.a, c.b), c.gt) << c.a << " > " << c.b;
        EXPECT_EQ(greaterOrEqual(c.a, c.b), c.ge) << c.a << " >= " << c.b;
        EXPECT_EQ(lessThan(c.a, c.b), c.lt) << c.a << " < " << c.b;
        EXPECT_EQ(lessOrEqual(c.a, c.b), c.le) << c.a << " <= " << c.b;
    }
}

TEST(NumberToText, FormatsAndNeverWritesMinusZero) {
    EXPECT_EQ(formatDouble(116.46), "116.46");
    EXPECT_EQ(formatDouble(11300 / 100.0), "113");
    EXPECT_EQ(formatDouble(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(formatDouble(-0.0), "0");
    EXPECT_EQ(formatDouble(0.0), "0");
    EXPECT_EQ(formatDouble(-1e-20), "-1e-20");
    EXPECT_EQ(formatDouble(1e15), "1e+15");
    EXPECT_EQ(formatSingle(45.123456789f), "45.1235");
    EXPECT_EQ(formatSingle(-0.0f), "0");
    EXPECT_EQ(formatInteger(-42), "-42");
    EXPECT_EQ(formatInteger(0), "0");
}

TEST(TextToNumber, TakesTheLeadingNumericPart) {
    struct Case {
        const char* text;
        double value;
        long long integer;
    };
    const Case cases[] = {
        {"12abc", 12, 12},
        {"  -3.5e2x", -350, -350},
        {"e5", 0, 0},
        {".", 0, 0},
        {"1e", 1, 1},
        {"+.5", 0.5, 0},
        {"-7.9", -7.9, -7},
        {"", 0, 0},
        {"\t42", 42, 42},
        {"3.", 3, 3},
        {"1e+2", 100, 100},
        {"1e-2", 0.01, 0},
        {"- 5", 0, 0},
        {"0x10", 0, 0},
        {"116.46", 116.46, 116},
        {"１２", 0, 0},
        {"-0", 0, 0},
        {"1e999", HUGE_VAL, LLONG_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(parseLeadingNumber(c.text), c.value) << c.text;
        EXPECT_EQ(parseLeadingInteger(c.text), c.integer) << c.text;
    }
    EXPECT_FALSE(std::signbit(parseLeadingNumber("-0")));
}

TEST(TextToNumber, TruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(truncateToInteger(2.9), 2);
    EXPECT_EQ(truncateToInteger(-2.9), -2);
    EXPECT_EQ(truncateToInteger(std::nan("")), 0);
    EXPECT_EQ(truncateToInteger(1e300), std::numeric_limits<long long>::max());
    EXPECT_EQ(truncateToInteger(-1e300), std::numeric_limits<long long>::min());
}

TEST(ManualClock, RecordsSleepsAndReturnsAtOnce) {
    ManualClock clock;
    const auto start = clock.now();
    for (int i = 0; i < 61; ++i) {
        clock.sleepFor(std::chrono::milliseconds(1000));
    }
    EXPECT_EQ(clock.sleeps().size(), 61u);
    EXPECT_EQ(clock.totalSlept(), std::chrono::milliseconds(61000));
    EXPECT_EQ(clock.now() - start, std::chrono::milliseconds(61000));
}

TEST(Files, ReadWriteSizeAndRemoveReportFailures) {
    zorvast::testing::TempFolder folder;
    const std::string path = folder.file("a.bin");
    const std::string bytes("a\0b\r\n", 5);
    ASSERT_TRUE(writeFileBytes(path, bytes));
    EXPECT_EQ(readFileBytes(path), bytes);
    EXPECT_EQ(fileSize(path), 5u);
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(readFileBytes(path), "new");
    EXPECT_FALSE(readFileBytes(folder.file("missing")).has_value());
    EXPECT_FALSE(fileSize(folder.file("missing")).has_value());
    EXPECT_FALSE(writeFileBytes(folder.file("no/such/folder/x"), "x"));
    EXPECT_FALSE(writeFileAtomically(folder.file("no/such/folder/x"), "x"));
    ASSERT_TRUE(makeFolders(folder.file("d/e/f")));
    ASSERT_TRUE(writeFileBytes(folder.file("d/e/f/g"), "g"));
    EXPECT_TRUE(removeTree(folder.file("d")));
    EXPECT_FALSE(fileExists(folder.file("d")));
    EXPECT_TRUE(removeFile(path));
    EXPECT_FALSE(fileExists(path));
    EXPECT_TRUE(removeFile(path)) << "removing what is not there leaves nothing there";
}

} // namespace
} // namespace zorvast::common
