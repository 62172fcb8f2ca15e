#include "pointing/coverage/DishSize.h"

#include "common/Numbers.h"

#include <array>

namespace zorvast::pointing {

namespace {

// Threshold and recommended size in tens of cm; a letter adds 5 cm to the threshold (a), the
// recommended size (b) or both (c). Row 1 is 31 dBW. The 46 dBW row repeats 43/44 on purpose.
constexpr std::array<std::string_view, 36> kDishSizeTable = {
    "6090",  "4860",  "3648",  "3036",  "2430",  "1824",  "1518",  "1315a", "1213b",
    "1213b", "1112",  "1011",  "0910",  "0910",  "0709a", "0910",  "0709a", "0709a",
    "0709a", "0607b", "0607b", "0506a", "0506a", "0405c", "0405c", "0304c", "0304c",
    "0203c", "0203c", "0203c", "0203c", "0203c", "0203c", "0102c", "0102c", "0102c",
};

} // namespace

std::optional<DishSize> dishSizeFor(double strength) {
    if (common::lessThan(strength, 31) || common::greaterThan(strength, 66)) {
        return std::nullopt;
    }
    const long long row = common::truncateToInteger(strength) - 30;
    if (row < 1 || row > static_cast<long long>(kDishSizeTable.size())) {
        return std::nullopt;
    }
    const std::string_view entry = kDishSizeTable[static_cast<std::size_t>(row - 1)];
    DishSize size{static_cast<int>(common::parseLeadingInteger(entry.substr(0, 2)) * 10),
                  static_cast<int>(common::parseLeadingInteger(entry.substr(2, 2)) * 10)};
    if (entry.size() == 5) {
        if (entry[4] == 'a' || entry[4] == 'c') {
            size.threshold += 5;
        }
        if (entry[4] == 'b' || entry[4] == 'c') {
            size.recommended += 5;
        }
    }
    return size;
}

double readStrength(std::string_view strengthText) {
    return common::parseLeadingNumber(strengthText);
}

DishSizeTexts dishSizeTexts(const std::optional<DishSize>& size) {
    if (!size) {
        return {std::string(kNoDishSize), std::string(kNoDishSize)};
    }
    return {common::formatInteger(size->threshold), common::formatInteger(size->recommended)};
}

} // namespace zorvast::pointing
