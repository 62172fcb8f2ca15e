// `zorvast-cli spacing` and `zorvast-cli obstacle`: the two small calculators of the pointing
// tab, the second feed's place on a dish and the lowest elevation over an obstacle.
#pragma once

#include <string>
#include <vector>

namespace zorvast::app {

// The usage lines of each command, each ending in a line end.
extern const char* const kSpacingUsage;
extern const char* const kObstacleUsage;

// `args` are the words after "spacing". Exit status 0 done, 2 for an input error (bad option,
// unknown place, satellite or model, unusable data package, both satellites the same), 1 when
// the machine itself fails.
int runSpacingCommand(const std::vector<std::string>& args);

// `args` are the words after "obstacle". Exit status 0 done, 2 for a bad option or a value the
// calculator refuses.
int runObstacleCommand(const std::vector<std::string>& args);

} // namespace zorvast::app
