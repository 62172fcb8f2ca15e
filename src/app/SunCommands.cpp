#include "app/SunCommands.h"

#include "app/CliSupport.h"
#include "app/JsonText.h"
#include "common/Numbers.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunAzimuth.h"
#include "pointing/sun/SunDates.h"
#include "pointing/sun/SunOutage.h"
#include "pointing/sun/SunPosition.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::app {

const char* const kSunOutageUsage =
    "  zorvast-cli sun-outage (--city PROVINCE/CITY | --lon X --lat Y) (--sat CODE | --sat-lon X)\n"
    "                         [--diameter CM | --model TEXT] [--band C|Ku] [--year YYYY]\n"
    "                         [--package PATH] [--json]\n";
const char* const kSunAzimuthUsage =
    "  zorvast-cli sun-azimuth (--city PROVINCE/CITY | --lon X --lat Y)\n"
    "                          (--sat CODE | --sat-lon X | --azimuth DEG) [--date YYYY-MM-DD]\n"
    "                          [--package PATH] [--json]\n";

namespace {

namespace fs = std::filesystem;
using namespace zorvast::pointing;
namespace sun = zorvast::pointing::sun;

// The whole text as one finite number, or nothing.
std::optional<double> strictNumber(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string jsonNumber(double value, int decimals) {
    return common::formatDouble(common::decimalRound(value, decimals));
}

// Where the satellite is: a code from the data package, or a longitude as typed.
struct SatelliteOptions {
    std::optional<std::string> code;
    std::optional<std::string> longitude;
};

// --sat and --sat-lon into `satellite`.
void addSatelliteOptions(Options& options, SatelliteOptions& satellite) {
    options.push_back(textOption("--sat", satellite.code));
    options.push_back(textOption("--sat-lon", satellite.longitude));
}

// The place and the satellite, read the way the other commands read them.
class Sky {
public:
    Sky(const PlaceOptions& place, const std::optional<fs::path>& package)
        : place_(place), package_(package) {}

    // The site's coordinates, refused outside the pointing tab's ranges.
    void readSite() {
        site_ = placeOf(place_, workspace()).site;
        const SiteError error = checkSite(site_);
        if (error != SiteError::None) {
            fail(std::string(siteErrorText(error)));
        }
    }

    // Degrees east of the satellite, after checking it is above the site's horizon.
    double satelliteLongitude(const SatelliteOptions& satellite) {
        double longitude = 0;
        if (satellite.code) {
            longitude = SatelliteList(dataPackagePath(package_), workspace())
                            .find(*satellite.code)
                            .position.east();
        } else {
            const std::optional<double> typed = strictNumber(*satellite.longitude);
            if (!typed || *typed < -180 || *typed > 360) {
                fail("--sat-lon takes degrees east from -180 to 360, not " + *satellite.longitude);
            }
            longitude = *typed;
        }
        if (sun::satelliteDirection(site_.longitude, site_.latitude, longitude).elevation < 0) {
            fail("the satellite is below the horizon at this site");
        }
        return longitude;
    }

    double longitude() const { return site_.longitude; }
    double latitude() const { return site_.latitude; }

private:
    channels::store::DatabaseStore& workspace() {
        if (!workspace_) {
            workspace_.emplace();
        }
        return workspace_->store();
    }

    PlaceOptions place_;
    std::optional<fs::path> package_;
    std::optional<Workspace> workspace_; // only for a city or a satellite code
    Site site_;
};

// Exactly one satellite for sun-outage.
void checkSatellite(const SatelliteOptions& satellite) {
    if (satellite.code && satellite.longitude) {
        fail("give either --sat or --sat-lon, not both");
    }
    if (!satellite.code && !satellite.longitude) {
        fail("no satellite given: --sat CODE or --sat-lon X");
    }
}

// Exactly one direction for sun-azimuth: a satellite or an azimuth.
void checkDirection(const SatelliteOptions& satellite, bool azimuthGiven) {
    const int given =
        (satellite.code ? 1 : 0) + (satellite.longitude ? 1 : 0) + (azimuthGiven ? 1 : 0);
    if (given > 1) {
        fail("give one of --sat, --sat-lon and --azimuth");
    }
    if (given == 0) {
        fail("no direction given: --sat CODE, --sat-lon X or --azimuth DEG");
    }
}

sun::LocalDate todayInBeijing() {
    return sun::beijingDateOf(static_cast<double>(std::time(nullptr)));
}

// ---------------------------------------------------------------------------------------------
// sun-outage

struct OutageOptions {
    PlaceOptions place;
    SatelliteOptions satellite;
    std::optional<std::string> diameter;
    std::optional<std::string> model;
    std::optional<sun::Band> band;
    std::optional<std::string> year;
    std::optional<fs::path> package;
    bool json = false;
};

sun::Band bandOf(const std::string& value) {
    if (value == "C" || value == "c") {
        return sun::Band::C;
    }
    if (value == "Ku" || value == "KU" || value == "ku") {
        return sun::Band::Ku;
    }
    fail("--band takes C or Ku, not " + value);
}

OutageOptions parseOutageOptions(const std::vector<std::string>& args) {
    OutageOptions o;
    Options options = {
        flagOption("--json", o.json),
        textOption("--diameter", o.diameter),
        textOption("--model", o.model),
        valueOption("--band", [&o](const std::string& value) { o.band = bandOf(value); }),
        textOption("--year", o.year),
        pathOption("--package", o.package),
    };
    addPlaceOptions(options, o.place);
    addSatelliteOptions(options, o.satellite);
    readOptions(args, options);
    checkPlace(o.place);
    checkSatellite(o.satellite);
    if (o.diameter && o.model) {
        fail("give either --diameter or --model, not both");
    }
    return o;
}

struct Dish {
    double diameterMetres;
    sun::Band band;
};

// A model fixes the diameter and, unless --band says otherwise, the band: C for prime focus,
// Ku for offset. Without a model or a diameter the pointing tab's default dish for the band
// is used: the prime-focus 150 cm one for C (and when no band is given), the offset 60 cm
// one for Ku.
Dish dishOf(const OutageOptions& o) {
    if (o.diameter) {
        const std::optional<double> cm = strictNumber(*o.diameter);
        if (!cm || *cm <= 0) {
            fail("--diameter takes a positive number of centimetres, not " + *o.diameter);
        }
        return {*cm / 100.0, o.band.value_or(sun::Band::C)};
    }
    // The model's feed type decides its catalogue and the band it goes with.
    FeedType feed = o.band == sun::Band::Ku ? FeedType::Offset : FeedType::PrimeFocus;
    int index = defaultAntennaIndex(feed);
    if (o.model) {
        std::optional<int> found = antennaIndexOf(primeFocusCatalogue(), *o.model);
        feed = FeedType::PrimeFocus;
        if (!found) {
            found = antennaIndexOf(offsetCatalogue(), *o.model);
            feed = FeedType::Offset;
        }
        if (!found) {
            fail("unknown antenna model: " + *o.model);
        }
        index = *found;
    }
    const sun::Band modelBand = feed == FeedType::Offset ? sun::Band::Ku : sun::Band::C;
    const sun::Band band = o.model ? modelBand : sun::Band::C;
    return {antennaDiameterAt(antennaCatalogueFor(feed), index) / 100.0, o.band.value_or(band)};
}

int yearOf(const std::string& text) {
    int year = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, year);
    if (text.empty() || error != std::errc() || stop != end || !sun::validYear(year)) {
        fail("--year takes a year from " + std::to_string(sun::kFirstYear) + " to " +
             std::to_string(sun::kLastYear) + ", not " + text);
    }
    return year;
}

int sunOutage(const std::vector<std::string>& args) {
    const OutageOptions o = parseOutageOptions(args);
    const Dish dish = dishOf(o);
    const int typedYear = o.year ? yearOf(*o.year) : 0;

    Sky sky(o.place, o.package);
    sky.readSite();
    const double satellite = sky.satelliteLongitude(o.satellite);

    const double beam = sun::beamwidth(dish.diameterMetres, dish.band);
    const double angle = sun::outageAngle(beam);
    const int year = o.year ? typedYear
                            : sun::nextSeasonYear(sky.longitude(), sky.latitude(), satellite, angle,
                                                  todayInBeijing());
    const std::vector<sun::OutageDay> days =
        sun::outageForecast(sky.longitude(), sky.latitude(), satellite, angle, year);

    if (!o.json) {
        writeOutput(unixLines(sun::outageTableText(days)));
        return 0;
    }
    std::vector<JsonObject> items;
    for (const sun::OutageDay& d : days) {
        JsonObject item;
        item.text("date", sun::dateText(d.date))
            .text("start", sun::minuteText(d.startMinute))
            .text("peak", sun::minuteText(d.peakMinute))
            .text("end", sun::minuteText(d.endMinute));
        items.push_back(item);
    }
    JsonObject json;
    json.number("beamwidth", jsonNumber(beam, 4))
        .number("outageAngle", jsonNumber(angle, 4))
        .integer("year", year)
        .objects("days", items);
    writeOutput(json.str() + "\n");
    return 0;
}

// ---------------------------------------------------------------------------------------------
// sun-azimuth

struct AzimuthOptions {
    PlaceOptions place;
    SatelliteOptions satellite;
    std::optional<std::string> azimuth;
    std::optional<std::string> date;
    std::optional<fs::path> package;
    bool json = false;
};

AzimuthOptions parseAzimuthOptions(const std::vector<std::string>& args) {
    AzimuthOptions o;
    Options options = {
        flagOption("--json", o.json),
        textOption("--azimuth", o.azimuth),
        textOption("--date", o.date),
        pathOption("--package", o.package),
    };
    addPlaceOptions(options, o.place);
    addSatelliteOptions(options, o.satellite);
    readOptions(args, options);
    checkPlace(o.place);
    checkDirection(o.satellite, o.azimuth.has_value());
    return o;
}

int sunAzimuth(const std::vector<std::string>& args) {
    const AzimuthOptions o = parseAzimuthOptions(args);
    std::optional<double> typedAzimuth;
    if (o.azimuth) {
        typedAzimuth = strictNumber(*o.azimuth);
        if (!typedAzimuth || *typedAzimuth < 0 || *typedAzimuth > 360) {
            fail("--azimuth takes degrees from 0 to 360, not " + *o.azimuth);
        }
    }
    sun::LocalDate date = todayInBeijing();
    if (o.date) {
        const std::optional<sun::LocalDate> typed = sun::parseDateText(*o.date);
        if (!typed) {
            fail("--date takes a real date YYYY-MM-DD from " + std::to_string(sun::kFirstYear) +
                 " to " + std::to_string(sun::kLastYear) + ", not " + *o.date);
        }
        date = *typed;
    }

    Sky sky(o.place, o.package);
    sky.readSite();
    const double azimuth = typedAzimuth
                               ? *typedAzimuth
                               : sun::satelliteDirection(sky.longitude(), sky.latitude(),
                                                         sky.satelliteLongitude(o.satellite))
                                     .azimuth;
    const std::vector<sun::Crossing> crossings =
        sun::sunAtAzimuth(sky.longitude(), sky.latitude(), azimuth, date);

    if (!o.json) {
        writeOutput(unixLines(sun::crossingTableText(crossings)));
        return 0;
    }
    std::vector<JsonObject> items;
    for (const sun::Crossing& c : crossings) {
        JsonObject item;
        item.text("time", sun::minuteText(c.minute))
            .number("sunElevation", jsonNumber(c.sunElevation, 2));
        items.push_back(item);
    }
    JsonObject json;
    json.number("azimuth", jsonNumber(azimuth, 2))
        .text("date", sun::dateText(date))
        .objects("times", items);
    writeOutput(json.str() + "\n");
    return 0;
}

} // namespace

int runSunOutageCommand(const std::vector<std::string>& args) {
    return runReportingErrors(sunOutage, args);
}

int runSunAzimuthCommand(const std::vector<std::string>& args) {
    return runReportingErrors(sunAzimuth, args);
}

} // namespace zorvast::app
