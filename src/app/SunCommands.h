// `zorvast-cli sun-outage` and `zorvast-cli sun-azimuth`: the days and minutes the sun stands
// behind a satellite, and the minutes the sun stands at the dish's azimuth.
#pragma once

#include <string>
#include <vector>

namespace zorvast::app {

// The usage lines of each command, each ending in a line end.
extern const char* const kSunOutageUsage;
extern const char* const kSunAzimuthUsage;

// `args` are the words after the command. Exit status 0 done, 2 for an input error (bad
// option, a site outside the accepted ranges, a diameter that is not a positive number, an
// impossible date, an unknown place, satellite or model, an unusable data package), 1 when
// the machine itself fails.
int runSunOutageCommand(const std::vector<std::string>& args);
int runSunAzimuthCommand(const std::vector<std::string>& args);

} // namespace zorvast::app
