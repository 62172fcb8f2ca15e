// The plain ASCII rules for reading what servers send: names compared without regard to case,
// header values trimmed, decimal counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorvast::update {

bool equalNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// Spaces and tabs removed from the start, and spaces, tabs, CR and LF from the end.
std::string_view trimmed(std::string_view text);

// 1 to 19 decimal digits and nothing else.
std::optional<std::uint64_t> parseCount(std::string_view text);

} // namespace zorvast::update
