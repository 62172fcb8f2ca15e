// `zorvast-cli point`: one pointing calculation from the command line, printed as the report
// text or as one JSON object. Runs on the window-free pointing core.
#pragma once

#include <string>
#include <vector>

namespace zorvast::app {

// The usage lines of the command, each ending in a line end.
extern const char* const kPointUsage;

// `args` are the words after "point". Returns the process exit status: 0 done, 2 for an input
// error (bad option, unknown place, satellite or model, unusable data package, a site outside
// the accepted ranges), 1 when the machine itself fails (no temporary folder, output lost).
int runPointCommand(const std::vector<std::string>& args);

} // namespace zorvast::app
