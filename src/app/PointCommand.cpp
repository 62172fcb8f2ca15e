#include "app/PointCommand.h"

#include "app/JsonText.h"
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/store/CityArchive.h"
#include "channels/store/DatabaseStore.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Numbers.h"
#include "common/Zip.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/places/CityLookup.h"
#include "pointing/places/ProvinceCodes.h"
#include "pointing/report/PointingReport.h"
#include "pointing/run/PointingRun.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace zorvast::app {

const char* const kPointUsage =
    "  zorvast-cli point (--city PROVINCE/CITY | --lon X --lat Y) --sat CODE\n"
    "                    [--feed prime|offset] [--mount upright|inverted] [--model TEXT]\n"
    "                    [--declination] [--strength N] [--package PATH] [--json]\n";

namespace {

namespace fs = std::filesystem;
using namespace zorvast::pointing;
using channels::store::DatabaseStore;

// Thrown to the one place that prints the reason; every folder and file is released on the way.
struct CommandError {
    int status;
    std::string reason;
};

[[noreturn]] void fail(std::string reason) {
    throw CommandError{2, std::move(reason)};
}

// Library messages may carry line ends; a reason stays on one line.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

struct PointOptions {
    std::optional<std::string> city; // "PROVINCE/CITY"
    std::optional<std::string> longitude;
    std::optional<std::string> latitude;
    std::optional<std::string> satellite;
    FeedType feed = FeedType::PrimeFocus;
    Mounting mounting = Mounting::Upright;
    std::optional<std::string> model;
    bool declination = false;
    std::string strength;
    std::optional<fs::path> package;
    bool json = false;
};

PointOptions parseOptions(const std::vector<std::string>& args) {
    PointOptions o;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        const bool flag = option == "--declination" || option == "--json";
        const bool takesValue = option == "--city" || option == "--lon" || option == "--lat" ||
                                option == "--sat" || option == "--feed" || option == "--mount" ||
                                option == "--model" || option == "--strength" ||
                                option == "--package";
        if (!flag && !takesValue) {
            fail("unknown option: " + option);
        }
        if (!seen.insert(option).second) {
            fail("option given twice: " + option);
        }
        if (option == "--declination") {
            o.declination = true;
            continue;
        }
        if (option == "--json") {
            o.json = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            fail("option " + option + " needs a value");
        }
        const std::string& value = args[++i];
        if (option == "--city") {
            o.city = value;
        } else if (option == "--lon") {
            o.longitude = value;
        } else if (option == "--lat") {
            o.latitude = value;
        } else if (option == "--sat") {
            o.satellite = value;
        } else if (option == "--feed") {
            if (value == "prime") {
                o.feed = FeedType::PrimeFocus;
            } else if (value == "offset") {
                o.feed = FeedType::Offset;
            } else {
                fail("--feed takes prime or offset, not " + value);
            }
        } else if (option == "--mount") {
            if (value == "upright") {
                o.mounting = Mounting::Upright;
            } else if (value == "inverted") {
                o.mounting = Mounting::Inverted;
            } else {
                fail("--mount takes upright or inverted, not " + value);
            }
        } else if (option == "--model") {
            o.model = value;
        } else if (option == "--strength") {
            o.strength = value;
        } else {
            o.package = fs::path(value);
        }
    }
    if (o.city && (o.longitude || o.latitude)) {
        fail("give either --city or --lon and --lat, not both");
    }
    if (!o.city && !o.longitude && !o.latitude) {
        fail("no place given: --city PROVINCE/CITY or --lon X --lat Y");
    }
    if (!o.city && (!o.longitude || !o.latitude)) {
        fail("--lon and --lat go together");
    }
    if (o.city && o.city->find('/') == std::string::npos) {
        fail("--city takes PROVINCE/CITY, not " + *o.city);
    }
    if (!o.satellite) {
        fail("no satellite given: --sat CODE");
    }
    return o;
}

// A folder of our own under $TMPDIR (else /tmp), removed with everything in it when the
// command ends, whichever way it ends.
class PrivateFolder {
public:
    PrivateFolder() {
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
    ~PrivateFolder() { common::removeTree(path_); }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Site {
    std::string longitudeText;
    std::string latitudeText;
    std::string province; // for the report; empty for typed coordinates
    std::string city;
};

Site siteFromCity(const std::string& provinceAndCity, DatabaseStore& store) {
    const std::size_t slash = provinceAndCity.find('/');
    Site site;
    site.province = provinceAndCity.substr(0, slash);
    site.city = provinceAndCity.substr(slash + 1);
    std::optional<std::string_view> code;
    for (const ProvinceCode& entry : kProvinceCodes) {
        if (entry.listText == site.province) {
            code = entry.sta;
        }
    }
    if (!code) {
        fail("unknown province: " + site.province);
    }
    if (!store.extractCityDatabase(channels::store::cityArchiveBytes())) {
        throw CommandError{1, "cannot unpack the built-in city database"};
    }
    const std::optional<CityPoint> point =
        cityCoordinates(store.paths().cityDatabasePath, *code, site.city);
    if (!point) {
        fail("unknown city: " + provinceAndCity);
    }
    site.longitudeText = coordinateText(point->lo);
    site.latitudeText = coordinateText(point->la);
    return site;
}

// --package, else satdata.sta beside the program, else in the current folder.
fs::path dataPackagePath(const PointOptions& o) {
    if (o.package) {
        if (!common::fileExists(*o.package)) {
            fail("data package not found: " + o.package->string());
        }
        return *o.package;
    }
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = program.parent_path() / "satdata.sta";
        if (common::fileExists(beside)) {
            return beside;
        }
    }
    if (common::fileExists("satdata.sta")) {
        return fs::absolute("satdata.sta", ec);
    }
    fail("no data package: satdata.sta is neither beside the program nor in the current folder "
         "(use --package PATH)");
}

struct Satellite {
    std::string itemText; // code "(" name ")", as the pointing list shows it
    std::string sC;
    std::string sKu;
};

// The first row of `satlist` with that position code, read from the package's working copy.
Satellite readSatellite(const fs::path& package, DatabaseStore& store, const std::string& code) {
    const std::string where = package.string();
    const common::ExtractResult unpacked =
        common::extractArchive(where, store.paths().workFolder.string());
    if (!unpacked.ok) {
        fail(oneLine("cannot unpack data package " + where + ": " + unpacked.error));
    }
    if (!store.prepareWorkingCopy()) {
        fail("data package " + where + " holds no usable channel database (satdata.str)");
    }
    channels::jet::JetConnection connection;
    if (!connection.open(store.paths().workDatabasePath.string())) {
        fail(oneLine("cannot open the channel database of " + where + ": " +
                     connection.lastError()));
    }
    channels::jet::JetCursor cursor;
    cursor.attach(connection);
    if (!cursor.openTable("satlist")) {
        fail(oneLine("cannot read the satellite table of " + where + ": " + cursor.lastError()));
    }
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext()) {
        if (cursor.readText("s_loca").value_or("") == code) {
            return {code + "(" + cursor.readText("s_name").value_or("") + ")",
                    cursor.readText("s_c").value_or(""), cursor.readText("s_ku").value_or("")};
        }
    }
    fail("unknown satellite: " + code);
}

// Each report line is one output line, the last one ended too.
std::string reportLines(const std::string& report) {
    std::string out;
    out.reserve(report.size() + 1);
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') {
            continue;
        }
        out += report[i];
    }
    if (out.empty() || out.back() != '\n') {
        out += '\n';
    }
    return out;
}

std::string jsonOutcome(const PointingResult& r, const PointingOutcome& outcome,
                        const std::string& strengthBefore, const std::string& report) {
    JsonObject json;
    json.text("azimuth", r.azimuthText)
        .text("elevation", r.elevationText)
        .text("polarisation", r.polarisationText)
        .number("compassBearing", common::formatSingle(r.compassBearing))
        .integer("signedOffset", r.signedOffset)
        .text("southSide", r.southSide)
        .text("southOffset", r.southOffset)
        .text("watchHour", r.watchHour)
        .text("clock", outcome.clockText)
        .text("droopAngle", r.droopAngle)
        .text("lnbDirection", r.lnbDirection)
        .text("lnbReferencePart", r.lnbReferencePart)
        .text("compassText", r.compassText)
        .integer("cStrength", outcome.signal.cStrength)
        .integer("kuStrength", outcome.signal.kuStrength)
        .text("strengthBox", outcome.strengthText.value_or(strengthBefore))
        .text("threshold", outcome.dishSize ? outcome.dishSize->threshold : "")
        .text("recommended", outcome.dishSize ? outcome.dishSize->recommended : "")
        .text("report", report);
    return json.str() + "\n";
}

int point(const std::vector<std::string>& args) {
    const PointOptions o = parseOptions(args);

    const std::vector<AntennaModel>& models = antennaCatalogueFor(o.feed);
    int modelIndex = defaultAntennaIndex(o.feed);
    if (o.model) {
        const std::optional<int> found = antennaIndexOf(models, *o.model);
        if (!found) {
            fail("unknown antenna model for this feed: " + *o.model);
        }
        modelIndex = *found;
    }

    const PrivateFolder folder;
    // The folder stands in for the program folder too, so nothing outside it is ever touched.
    DatabaseStore store(channels::store::storePathsFor(folder.path(), folder.path()),
                        common::systemClock());
    if (!common::createFolders(store.paths().workFolder)) {
        throw CommandError{1, "cannot create " + store.paths().workFolder.string()};
    }

    const Site site = o.city ? siteFromCity(*o.city, store)
                             : Site{*o.longitude, *o.latitude, std::string(), std::string()};
    const Satellite satellite = readSatellite(dataPackagePath(o), store, *o.satellite);

    PointingInputs inputs;
    inputs.longitudeText = site.longitudeText;
    inputs.latitudeText = site.latitudeText;
    inputs.satelliteText = satellite.itemText;
    inputs.feed = o.feed;
    inputs.mounting = o.mounting;
    inputs.antennaOffset = antennaOffsetOf(models, modelIndex);
    inputs.declinationCorrection = o.declination;
    inputs.sC = satellite.sC;
    inputs.sKu = satellite.sKu;

    PointingResult result;
    const PointingOutcome outcome = runPointing(inputs, o.strength, result);
    if (outcome.error != SiteError::None) {
        fail(std::string(siteErrorText(outcome.error)));
    }

    ReportInputs reportInputs;
    reportInputs.province = site.province;
    reportInputs.city = site.city;
    reportInputs.satellite = satellite.itemText;
    reportInputs.antenna = models[static_cast<std::size_t>(modelIndex)].modelText;
    reportInputs.feed = o.feed;
    reportInputs.mounting = o.mounting;
    reportInputs.declinationCorrection = o.declination;
    const std::string report = buildPointingReport(reportInputs, result);

    const std::string output =
        o.json ? jsonOutcome(result, outcome, o.strength, report) : reportLines(report);
    if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() ||
        std::fflush(stdout) != 0) {
        throw CommandError{1, "cannot write the output"};
    }
    return 0;
}

} // namespace

int runPointCommand(const std::vector<std::string>& args) {
    try {
        return point(args);
    } catch (const CommandError& error) {
        std::fprintf(stderr, "%s\n", error.reason.c_str());
        return error.status;
    }
}

} // namespace zorvast::app
