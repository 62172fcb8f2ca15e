#include "pointing/geometry/Positions.h"

#include "common/Numbers.h"

namespace zorvast::pointing {

namespace {

Hemisphere hemisphereOf(std::string_view code) {
    return !code.empty() && code.front() == 'W' ? Hemisphere::West : Hemisphere::East;
}

} // namespace

Site readSite(std::string_view longitudeText, std::string_view latitudeText) {
    return {common::parseLeadingNumber(longitudeText), common::parseLeadingNumber(latitudeText)};
}

OrbitalPosition readSatelliteItem(std::string_view itemText) {
    const std::size_t bracket = itemText.find('(');
    if (bracket == std::string_view::npos || bracket == 0) {
        return {0, hemisphereOf(itemText)};
    }
    return readPositionCode(itemText.substr(0, bracket));
}

OrbitalPosition readPositionCode(std::string_view code) {
    return {common::parseLeadingNumber(positionDigits(code)), hemisphereOf(code)};
}

std::string_view positionCodeOf(std::string_view itemText) {
    return itemText.substr(0, itemText.find('('));
}

std::string_view positionDigits(std::string_view code) {
    return code.empty() ? code : code.substr(1);
}

bool samePosition(std::string_view mainItemText, std::string_view offsetCode) {
    return positionDigits(positionCodeOf(mainItemText)) == positionDigits(offsetCode);
}

} // namespace zorvast::pointing
