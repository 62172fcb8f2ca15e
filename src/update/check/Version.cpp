#include "update/check/Version.h"

#include "common/Numbers.h"

namespace zorvast::update {

Version::Version(std::string_view text) : text_(text), number_(common::parseLeadingNumber(text)) {}

bool Version::newerThan(const Version& other) const {
    return common::greaterThan(number_, other.number_);
}

bool Version::sameAs(const Version& other) const {
    return !newerThan(other) && !other.newerThan(*this);
}

bool isValidDataVersionAnswer(std::string_view body) {
    return !body.empty() && body.size() <= kDataVersionAnswerMax;
}

bool isValidSoftwareVersionAnswer(std::string_view body) {
    return !body.empty() && body.size() <= kSoftwareVersionAnswerMax;
}

std::optional<Version> dataVersionAnswer(std::string_view body) {
    return isValidDataVersionAnswer(body) ? std::optional<Version>(Version(body)) : std::nullopt;
}

std::optional<Version> softwareVersionAnswer(std::string_view body) {
    return isValidSoftwareVersionAnswer(body) ? std::optional<Version>(Version(body))
                                              : std::nullopt;
}

} // namespace zorvast::update
