// Pieces every zorvast-cli command shares: option reading, the private temporary folder, the
// place, the data package and its satellite list, and the one place errors are printed.
#pragma once

#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/store/DatabaseStore.h"
#include "pointing/coverage/Coverage.h"
#include "pointing/geometry/Positions.h"
#include "pointing/results/PointingResult.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::app {

// Thrown to the one place that prints the reason; every folder and file is released on the way.
// Status 2 is an input error, 1 a failure of the machine itself.
struct CommandError {
    int status;
    std::string reason;
};

// An input error (status 2).
[[noreturn]] void fail(std::string reason);

// Library messages may carry line ends; a reason stays on one line.
std::string oneLine(std::string text);

// CR LF pairs become LF and the text ends with one LF, so each line is one output line.
std::string unixLines(std::string_view text);

// One option of a command: a flag, or a name followed by its value. `take` is called as the
// option is met (with an empty value for a flag), so a value it refuses is refused in order.
struct Option {
    std::string_view name;
    std::function<void(const std::string& value)> take;
    bool flag = false;
};
using Options = std::vector<Option>;

Option flagOption(std::string_view name, bool& target);
Option textOption(std::string_view name, std::optional<std::string>& target);
Option textOption(std::string_view name, std::string& target);
Option pathOption(std::string_view name, std::optional<std::filesystem::path>& target);
Option valueOption(std::string_view name, std::function<void(const std::string& value)> take);

// Walks `args`: every word must be one of `options`, a valued one followed by its value, and
// none may come twice.
void readOptions(const std::vector<std::string>& args, const Options& options);

// The same with the names in two lists: `flags` (`take` gets an empty value) and `valued`.
void readOptions(
    const std::vector<std::string>& args, std::initializer_list<std::string_view> flags,
    std::initializer_list<std::string_view> valued,
    const std::function<void(const std::string& option, const std::string& value)>& take);

// The value of --feed.
pointing::FeedType feedTypeOf(const std::string& value);

// --city PROVINCE/CITY, or --lon and --lat typed as texts.
struct PlaceOptions {
    std::optional<std::string> city;
    std::optional<std::string> longitude;
    std::optional<std::string> latitude;
};

// --city, --lon and --lat into `place`.
void addPlaceOptions(Options& options, PlaceOptions& place);

// Refuses a missing, half or doubled place.
void checkPlace(const PlaceOptions& place);

// The catalogue index of `model` for the feed type, or the catalogue's default.
int antennaIndexFor(pointing::FeedType feed, const std::optional<std::string>& model);

// A folder of our own under $TMPDIR (else /tmp), removed with everything in it when the
// command ends, whichever way it ends.
class PrivateFolder {
public:
    PrivateFolder();
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The private folder with the working files of the data package and the city database in it.
// The folder stands in for the program folder too, so nothing outside it is ever touched.
class Workspace {
public:
    Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    channels::store::DatabaseStore& store() { return store_; }

private:
    PrivateFolder folder_;
    channels::store::DatabaseStore store_;
};

struct Place {
    pointing::Site site;
    std::string province; // empty for typed coordinates
    std::string city;
};

// The coordinates of the place: looked up in the built-in city database, or read from the
// typed texts the way the pointing tab reads its boxes.
Place placeOf(const PlaceOptions& place, channels::store::DatabaseStore& store);

// `package` when given, else satdata.sta beside the program, else in the current folder.
std::filesystem::path dataPackagePath(const std::optional<std::filesystem::path>& package);

// Unpacks the data package into the store's working folder once it has been verified like the
// program's own (signed with the built-in key, its database and lists large enough), and checks
// that its stored channel database makes a working copy. An input error when the package is
// damaged, not signed or holds no usable database; nothing of such a package is written.
void unpackDataPackage(const std::filesystem::path& package, channels::store::DatabaseStore& store);

struct Satellite {
    std::string itemText; // code "(" name ")", as the pointing list shows it
    std::string name;     // s_name
    pointing::OrbitalPosition position;
    pointing::CoverageStrengths coverage;
};

// The table `satlist` of the package's working copy (unpacked first), open for lookups.
class SatelliteList {
public:
    SatelliteList(const std::filesystem::path& package, channels::store::DatabaseStore& store);
    SatelliteList(const SatelliteList&) = delete;
    SatelliteList& operator=(const SatelliteList&) = delete;

    // The first row with that position code (s_loca).
    Satellite find(const std::string& code);

private:
    channels::jet::JetConnection connection_;
    channels::jet::JetCursor cursor_;
};

// `text` on stdout, all of it, or a status 1 error.
void writeOutput(const std::string& text);

// Runs a command body and prints the reason of a CommandError it throws; the exit status.
int runReportingErrors(const std::function<int()>& body);
int runReportingErrors(int (*body)(const std::vector<std::string>& args),
                       const std::vector<std::string>& args);

} // namespace zorvast::app
