// Pages opened outside the program, in the desktop's default browser.
#pragma once

#include <string>

namespace zorvast::info::ui {

// Hands `url` to the desktop (QDesktopServices); the browser decides how its window opens.
// False when no handler took it.
bool openInSystemBrowser(const std::string& url);

} // namespace zorvast::info::ui
