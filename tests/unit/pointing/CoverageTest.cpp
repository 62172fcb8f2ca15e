#include "pointing/coverage/Coverage.h"
#include "pointing/coverage/DishSize.h"

#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace zorvast::pointing {

// Readable failure output.
inline void PrintTo(const DishSize& size, std::ostream* os) {
    *os << size.threshold << "/" << size.recommended << " cm";
}
inline void PrintTo(const SignalReading& reading, std::ostream* os) {
    *os << "C " << reading.cStrength << ", Ku " << reading.kuStrength;
}

namespace {

std::string site(double lon, double lat) {
    return common::formatDouble(lon) + " E, " + common::formatDouble(lat) + " N";
}

std::string regionText(std::optional<int> region) {
    return region ? std::to_string(*region) : "unknown";
}

TEST(Coverage, RegionOfASite) {
    const struct {
        double lon, lat;
        std::optional<int> region;
    } cases[] = {
        {115, 25, 1},
        {116.4, 39.9, 2},
        {120, 48, 3},
        {108, 45, 3},
        {100, 25, 4},
        {100, 38, 5},
        {80, 30, 6},
        {87.6, 43.8, 6},
        // Shared and outer edges belong to no box.
        {115, 33, std::nullopt},
        {115, 42, std::nullopt},
        {110, 20, std::nullopt},
        {110, 38, std::nullopt},
        {125, 25, std::nullopt},
        {115, 18, std::nullopt},
        {105, 45, std::nullopt},
        {135, 45, std::nullopt},
        {120, 54, std::nullopt},
        {90, 30, std::nullopt},
        {73, 30, std::nullopt},
        {80, 27, std::nullopt},
        {80, 50, std::nullopt},
        // Within the tolerance an edge is still an edge; beyond it the box begins.
        {110 + 5e-8, 20, std::nullopt},
        {110 + 2e-7, 20, 1},
        {110 - 2e-7, 20, 4},
        {115, 33 - 5e-8, std::nullopt},
        {115, 33 - 2e-7, 1},
        {115, 33 + 2e-7, 2},
        // Outside every box.
        {140, 35, std::nullopt},
        {120, 10, std::nullopt},
        {150, 40, std::nullopt},
        {70, 40, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<int> region = coverageRegionOf(c.lon, c.lat);
        EXPECT_EQ(region, c.region) << site(c.lon, c.lat) << ": got " << regionText(region)
                                    << ", expected " << regionText(c.region);
    }
}

TEST(Coverage, RegionStrengthFields) {
    const struct {
        const char* strengths;
        int region;
        int value;
    } cases[] = {
        {"383600404142", 1, 38},
        {"383600404142", 2, 36},
        {"383600404142", 3, 0},
        {"383600404142", 4, 40},
        {"383600404142", 5, 41},
        {"383600404142", 6, 42},
        // Region 6 is the last two characters whatever the length.
        {"38360040414299", 6, 99},
        {"38360040", 6, 40},
        {"47", 6, 47},
        {"5", 6, 5},
        {"", 6, 0},
        // Too short or not numeric: 0.
        {"38", 2, 0},
        {"3836", 5, 0},
        {"", 1, 0},
        {"ab3600404142", 1, 0},
        {"38xx00404142", 2, 0},
        {"3", 1, 3},
        {"5x3600404142", 1, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(regionStrength(c.strengths, c.region), c.value)
            << '"' << c.strengths << "\" region " << c.region;
    }
}

TEST(Coverage, ReadSignal) {
    const struct {
        double lon, lat;
        const char* sC;
        const char* sKu;
        int c, ku;
    } cases[] = {
        // Region 2: C 36 (weak), Ku 0 (no bar).
        {116.4, 39.9, "383600404142", "000048515052", 36, 0},
        {115, 25, "383600404142", "000048515052", 38, 0},
        {120, 48, "383600404142", "000048515052", 0, 48},
        {100, 25, "383600404142", "000048515052", 40, 51},
        {100, 38, "383600404142", "000048515052", 41, 50},
        {80, 30, "38360040414255", "0000485150", 55, 50},
        {116.4, 39.9, "", "x", 0, 0},
        // Unknown coverage.
        {140, 35, "383600404142", "000048515052", -1, -1},
        {120, 10, "383600404142", "000048515052", -1, -1},
        {115, 33, "383600404142", "000048515052", -1, -1},
    };
    for (const auto& c : cases) {
        const SignalReading reading = readSignal({c.lon, c.lat}, readCoverage(c.sC, c.sKu));
        EXPECT_EQ(reading, (SignalReading{c.c, c.ku}))
            << site(c.lon, c.lat) << " s_c \"" << c.sC << "\" s_ku \"" << c.sKu << "\": got "
            << reading.cStrength << "/" << reading.kuStrength << ", expected " << c.c << "/"
            << c.ku;
        EXPECT_EQ(reading.known(), c.c >= 0) << site(c.lon, c.lat);
    }
}

const char* className(StrengthClass value) {
    switch (value) {
    case StrengthClass::None:
        return "None";
    case StrengthClass::Weak:
        return "Weak";
    case StrengthClass::Medium:
        return "Medium";
    case StrengthClass::Strong:
        return "Strong";
    }
    return "?";
}

TEST(Coverage, StrengthClasses) {
    const struct {
        Band band;
        int strength;
        StrengthClass expected;
    } cases[] = {
        {Band::C, -1, StrengthClass::None},    {Band::C, 0, StrengthClass::None},
        {Band::C, 1, StrengthClass::Weak},     {Band::C, 36, StrengthClass::Weak},
        {Band::C, 37, StrengthClass::Weak},    {Band::C, 38, StrengthClass::Medium},
        {Band::C, 41, StrengthClass::Medium},  {Band::C, 42, StrengthClass::Strong},
        {Band::C, 99, StrengthClass::Strong},  {Band::Ku, -1, StrengthClass::None},
        {Band::Ku, 0, StrengthClass::None},    {Band::Ku, 1, StrengthClass::Weak},
        {Band::Ku, 45, StrengthClass::Weak},   {Band::Ku, 46, StrengthClass::Medium},
        {Band::Ku, 49, StrengthClass::Medium}, {Band::Ku, 50, StrengthClass::Strong},
        {Band::Ku, 42, StrengthClass::Weak},   {Band::Ku, 38, StrengthClass::Weak},
        {Band::C, 46, StrengthClass::Strong},  {Band::C, 50, StrengthClass::Strong},
    };
    for (const auto& c : cases) {
        const StrengthClass got = strengthClass(c.band, c.strength);
        EXPECT_EQ(got, c.expected) << (c.band == Band::C ? "C " : "Ku ") << c.strength << ": got "
                                   << className(got) << ", expected " << className(c.expected);
    }
}

TEST(DishSize, EveryRowOfTheTable) {
    const struct {
        int strength;
        int threshold, recommended;
    } rows[] = {
        {31, 600, 900}, {32, 480, 600}, {33, 360, 480}, {34, 300, 360}, {35, 240, 300},
        {36, 180, 240}, {37, 150, 180}, {38, 135, 150}, {39, 120, 135}, {40, 120, 135},
        {41, 110, 120}, {42, 100, 110}, {43, 90, 100},  {44, 90, 100},  {45, 75, 90},
        {46, 90, 100},  {47, 75, 90},   {48, 75, 90},   {49, 75, 90},   {50, 60, 75},
        {51, 60, 75},   {52, 55, 60},   {53, 55, 60},   {54, 45, 55},   {55, 45, 55},
        {56, 35, 45},   {57, 35, 45},   {58, 25, 35},   {59, 25, 35},   {60, 25, 35},
        {61, 25, 35},   {62, 25, 35},   {63, 25, 35},   {64, 15, 25},   {65, 15, 25},
        {66, 15, 25},
    };
    ASSERT_EQ(std::size(rows), 36u);
    for (const auto& row : rows) {
        const std::optional<DishSize> size = dishSizeFor(row.strength);
        ASSERT_TRUE(size) << row.strength << " dBW: no size";
        EXPECT_EQ(*size, (DishSize{row.threshold, row.recommended}))
            << row.strength << " dBW: got " << size->threshold << "/" << size->recommended
            << ", expected " << row.threshold << "/" << row.recommended;
        const DishSizeTexts texts =
            dishSizeTexts(dishSizeFor(readStrength(std::to_string(row.strength))));
        EXPECT_EQ(texts.threshold, std::to_string(row.threshold)) << row.strength << " dBW";
        EXPECT_EQ(texts.recommended, std::to_string(row.recommended)) << row.strength << " dBW";
    }
}

TEST(DishSize, Limits) {
    const struct {
        double strength;
        std::optional<DishSize> size;
    } cases[] = {
        {30.9, std::nullopt},      {66.5, std::nullopt},
        {0, std::nullopt},         {-3, std::nullopt},
        {30, std::nullopt},        {67, std::nullopt},
        {31 - 5e-8, std::nullopt}, // passes the range test, but row 30 does not exist
        {31 - 2e-7, std::nullopt}, {66 + 5e-8, DishSize{15, 25}},
        {66 + 2e-7, std::nullopt}, {45.9, DishSize{75, 90}},
        {46, DishSize{90, 100}},   {31.99, DishSize{600, 900}},
    };
    for (const auto& c : cases) {
        const std::optional<DishSize> size = dishSizeFor(c.strength);
        EXPECT_EQ(size, c.size) << common::formatDouble(c.strength) << " dBW: got "
                                << (size ? std::to_string(size->threshold) + "/" +
                                               std::to_string(size->recommended)
                                         : "nothing");
    }
}

TEST(DishSize, LabelTexts) {
    const struct {
        const char* box;
        const char* threshold;
        const char* recommended;
    } cases[] = {
        {"31", "600", "900"},   {"66", "15", "25"},
        {"45.9", "75", "90"},   {"46", "90", "100"},
        {"36", "180", "240"},   {" 45", "75", "90"},
        {"45dBW", "75", "90"},  {"30.9", "---", "---"},
        {"66.5", "---", "---"}, {"0", "---", "---"},
        {"", "---", "---"},     {"abc", "---", "---"},
        {"-45", "---", "---"},  {"30.99999995", "---", "---"},
    };
    for (const auto& c : cases) {
        const DishSizeTexts texts = dishSizeTexts(dishSizeFor(readStrength(c.box)));
        EXPECT_EQ(texts.threshold, c.threshold) << "box \"" << c.box << '"';
        EXPECT_EQ(texts.recommended, c.recommended) << "box \"" << c.box << '"';
    }
}

} // namespace
} // namespace zorvast::pointing
