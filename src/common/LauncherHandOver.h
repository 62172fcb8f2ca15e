// How the installed system's launcher tells the program it started it.
#pragma once

namespace zorvast::common {

// Set by the launcher to its own file before it starts the program from the user's folder.
inline constexpr const char* kLauncherVariable = "ZORVAST_LAUNCHER";

} // namespace zorvast::common
