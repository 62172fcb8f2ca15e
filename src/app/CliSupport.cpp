#include "app/CliSupport.h"

#include "channels/store/CityArchive.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/platform/Platform.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/places/CityLookup.h"
#include "pointing/places/ProvinceCodes.h"
#include "update/package/DataApply.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unistd.h>

namespace zorvast::app {

namespace fs = std::filesystem;
using namespace zorvast::pointing;
using channels::store::DatabaseStore;

void fail(std::string reason) {
    throw CommandError{2, std::move(reason)};
}

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string unixLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    if (out.empty() || out.back() != '\n') {
        out += '\n';
    }
    return out;
}

Option flagOption(std::string_view name, bool& target) {
    return {name, [&target](const std::string&) { target = true; }, true};
}

Option textOption(std::string_view name, std::optional<std::string>& target) {
    return {name, [&target](const std::string& value) {
                target = value;
            }};
}

Option textOption(std::string_view name, std::string& target) {
    return {name, [&target](const std::string& value) {
                target = value;
            }};
}

Option pathOption(std::string_view name, std::optional<fs::path>& target) {
    return {name, [&target](const std::string& value) {
                target = fs::path(value);
            }};
}

Option valueOption(std::string_view name, std::function<void(const std::string&)> take) {
    return {name, std::move(take)};
}

void readOptions(const std::vector<std::string>& args, const Options& options) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&word](const Option& o) { return o.name == word; });
        if (option == options.end()) {
            fail("unknown option: " + word);
        }
        if (!seen.insert(word).second) {
            fail("option given twice: " + word);
        }
        if (option->flag) {
            option->take(std::string());
            continue;
        }
        if (i + 1 >= args.size()) {
            fail("option " + word + " needs a value");
        }
        option->take(args[++i]);
    }
}

void readOptions(const std::vector<std::string>& args,
                 std::initializer_list<std::string_view> flags,
                 std::initializer_list<std::string_view> valued,
                 const std::function<void(const std::string&, const std::string&)>& take) {
    Options options;
    for (const auto& [names, flag] : {std::pair{flags, true}, std::pair{valued, false}}) {
        for (std::string_view name : names) {
            options.push_back(
                {name, [name, &take](const std::string& value) { take(std::string(name), value); },
                 flag});
        }
    }
    readOptions(args, options);
}

FeedType feedTypeOf(const std::string& value) {
    if (value == "prime") {
        return FeedType::PrimeFocus;
    }
    if (value == "offset") {
        return FeedType::Offset;
    }
    fail("--feed takes prime or offset, not " + value);
}

void addPlaceOptions(Options& options, PlaceOptions& place) {
    options.push_back(textOption("--city", place.city));
    options.push_back(textOption("--lon", place.longitude));
    options.push_back(textOption("--lat", place.latitude));
}

void checkPlace(const PlaceOptions& place) {
    if (place.city && (place.longitude || place.latitude)) {
        fail("give either --city or --lon and --lat, not both");
    }
    if (!place.city && !place.longitude && !place.latitude) {
        fail("no place given: --city PROVINCE/CITY or --lon X --lat Y");
    }
    if (!place.city && (!place.longitude || !place.latitude)) {
        fail("--lon and --lat go together");
    }
    if (place.city && place.city->find('/') == std::string::npos) {
        fail("--city takes PROVINCE/CITY, not " + *place.city);
    }
}

int antennaIndexFor(FeedType feed, const std::optional<std::string>& model) {
    if (!model) {
        return defaultAntennaIndex(feed);
    }
    const std::optional<int> found = antennaIndexOf(antennaCatalogueFor(feed), *model);
    if (!found) {
        fail("unknown antenna model for this feed: " + *model);
    }
    return *found;
}

PrivateFolder::PrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    std::string pattern = base + "/zorvast-cli-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw CommandError{1, "cannot create a temporary folder in " + base + ": " +
                                  std::strerror(errno)};
    }
    path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
    common::removeTree(path_);
}

Workspace::Workspace()
    : store_(channels::store::storePathsFor(folder_.path(), folder_.path()),
             common::systemClock()) {
    if (!common::createFolders(store_.paths().workFolder)) {
        throw CommandError{1, "cannot create " + store_.paths().workFolder.string()};
    }
}

namespace {

Place placeFromCity(const std::string& provinceAndCity, DatabaseStore& store) {
    const std::size_t slash = provinceAndCity.find('/');
    Place place;
    place.province = provinceAndCity.substr(0, slash);
    place.city = provinceAndCity.substr(slash + 1);
    std::optional<std::string_view> code;
    for (const ProvinceCode& entry : kProvinceCodes) {
        if (entry.listText == place.province) {
            code = entry.sta;
        }
    }
    if (!code) {
        fail("unknown province: " + place.province);
    }
    if (!store.extractCityDatabase(channels::store::cityArchiveBytes())) {
        throw CommandError{1, "cannot unpack the built-in city database"};
    }
    const std::optional<CityPoint> point =
        cityCoordinates(store.paths().cityDatabasePath, *code, place.city);
    if (!point) {
        fail("unknown city: " + provinceAndCity);
    }
    place.site = {point->lo / 100.0, point->la / 100.0};
    return place;
}

} // namespace

Place placeOf(const PlaceOptions& place, DatabaseStore& store) {
    if (place.city) {
        return placeFromCity(*place.city, store);
    }
    return {.site = readSite(place.longitude.value_or(""), place.latitude.value_or(""))};
}

fs::path dataPackagePath(const std::optional<fs::path>& package) {
    if (package) {
        if (!common::fileExists(*package)) {
            fail("data package not found: " + package->string());
        }
        return *package;
    }
    const fs::path program = common::platform::ownProgramFile();
    if (!program.empty()) {
        const fs::path beside = program.parent_path() / "satdata.sta";
        if (common::fileExists(beside)) {
            return beside;
        }
    }
    if (common::fileExists("satdata.sta")) {
        std::error_code ec;
        return fs::absolute("satdata.sta", ec);
    }
    fail("no data package: satdata.sta is neither beside the program nor in the current folder "
         "(use --package PATH)");
}

void unpackDataPackage(const fs::path& package, DatabaseStore& store) {
    const std::string where = package.string();
    // Checked the way the program checks it, whole and in memory, before any of it is written.
    const std::optional<update::VerifiedPackage> verified =
        update::readVerifiedDataPackage(package, update::builtInPackageKey());
    if (!verified) {
        fail(oneLine("data package damaged or not signed: " + where));
    }
    if (!update::writePackageFiles(*verified, store.paths().workFolder)) {
        throw CommandError{1, oneLine("cannot unpack data package " + where)};
    }
    if (!store.prepareWorkingCopy()) {
        fail("data package " + where + " holds no usable channel database (satdata.str)");
    }
}

SatelliteList::SatelliteList(const fs::path& package, DatabaseStore& store) {
    unpackDataPackage(package, store);
    const std::string where = package.string();
    if (!connection_.open(store.paths().workDatabasePath.string())) {
        fail(oneLine("cannot open the channel database of " + where + ": " +
                     connection_.lastError()));
    }
    cursor_.attach(connection_);
    if (!cursor_.openTable("satlist")) {
        fail(oneLine("cannot read the satellite table of " + where + ": " + cursor_.lastError()));
    }
}

Satellite SatelliteList::find(const std::string& code) {
    for (cursor_.moveFirst(); !cursor_.atEnd(); cursor_.moveNext()) {
        if (cursor_.readText("s_loca").value_or("") == code) {
            const std::string name = cursor_.readText("s_name").value_or("");
            const std::string item = code + "(" + name + ")";
            return {item, name, readSatelliteItem(item),
                    readCoverage(cursor_.readText("s_c").value_or(""),
                                 cursor_.readText("s_ku").value_or(""))};
        }
    }
    fail("unknown satellite: " + code);
}

void writeOutput(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        throw CommandError{1, "cannot write the output"};
    }
}

int runReportingErrors(int (*body)(const std::vector<std::string>&),
                       const std::vector<std::string>& args) {
    return runReportingErrors([body, &args] { return body(args); });
}

int runReportingErrors(const std::function<int()>& body) {
    try {
        return body();
    } catch (const CommandError& error) {
        std::fprintf(stderr, "%s\n", error.reason.c_str());
        return error.status;
    }
}

} // namespace zorvast::app
