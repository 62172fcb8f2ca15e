// `zorvast-cli table`, `search` and `provider`: the parameter tab's combined query, channel-name
// search and provider search, each printed as the whole-table text the tab saves to a file.
#pragma once

#include <string>
#include <vector>

namespace zorvast::app {

// The usage lines of each command, each ending in a line end.
extern const char* const kTableUsage;
extern const char* const kSearchUsage;
extern const char* const kProviderUsage;

// `args` are the words after the command name. Exit status 0 when the table was printed; 2 for
// an input error (bad option or value, unknown satellite, a search text the tab refuses, a data
// package that is damaged, not signed or unusable); 1 when there is nothing to print, the database
// is busy or unreadable, or the machine itself fails.
int runTableCommand(const std::vector<std::string>& args);
int runSearchCommand(const std::vector<std::string>& args);
int runProviderCommand(const std::vector<std::string>& args);

} // namespace zorvast::app
