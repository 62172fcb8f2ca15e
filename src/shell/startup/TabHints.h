// The status line's hint for each tab of the main window.
#pragma once

#include <filesystem>
#include <string>

namespace zorvast::shell {

// Tab 0 names the date of the stored database (or says there is no data); the others give a
// fixed hint. Unknown tabs get no hint.
std::string tabHintFor(int tabIndex, const std::filesystem::path& storedFile);

// "§版号: 1.02 ", the version field's text after a tab change.
std::string tabVersionText();

} // namespace zorvast::shell
