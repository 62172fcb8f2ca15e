// The status line's hint for each tab of the main window.
#pragma once

#include <filesystem>
#include <string>

namespace zorvast::shell {

// Tab 0 names the date of the stored database (or says there is no data); the others give a
// fixed hint. Unknown tabs get no hint.
std::string tabHintFor(int tabIndex, const std::filesystem::path& storedFile);

inline constexpr const char* kTabVersionText = "§版号: 1.02 ";

} // namespace zorvast::shell
