// Versions as the servers, the packages and the database write them ("261210", "1.03"): read
// once where they come in, into the text as it came and the number it starts with. Versions are
// compared by that number, within 1e-7.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::update {

class Version {
public:
    Version() = default;
    // The leading number of `text`; 0 when there is none.
    explicit Version(std::string_view text);

    const std::string& text() const { return text_; }
    double number() const { return number_; }

    // More than 1e-7 above `other`.
    bool newerThan(const Version& other) const;
    // Neither is newer than the other.
    bool sameAs(const Version& other) const;

private:
    std::string text_;
    double number_ = 0;
};

// A version answer ("/dv.htm", "/sv.htm") counts only when it is not empty and short: an error
// page is not a version.
inline constexpr std::size_t kDataVersionAnswerMax = 7;
inline constexpr std::size_t kSoftwareVersionAnswerMax = 5;
bool isValidDataVersionAnswer(std::string_view body);
bool isValidSoftwareVersionAnswer(std::string_view body);

// The version an answer announces; nullopt when it is no valid answer.
std::optional<Version> dataVersionAnswer(std::string_view body);
std::optional<Version> softwareVersionAnswer(std::string_view body);

} // namespace zorvast::update
