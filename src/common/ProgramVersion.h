// The program's own version ("1.02"), which the software check compares with the server's and
// the version fields show.
#pragma once

#include <string>

namespace zorvast::common {

// Defined alone in ProgramVersion.cpp, so that a build linking its own definition (the newer
// test build of the update tests) replaces it without touching anything else.
const char* programVersion();

} // namespace zorvast::common
