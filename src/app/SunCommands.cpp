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

// Takes --sat or --sat-lon into `satellite`; false for any other option.
bool takeSatelliteOption(SatelliteOptions& satellite, const std::string& option,
                         const std::string& value) {
    if (option == "--sat") {
        satellite.code = value;
    } else if (option == "--sat-lon") {
        satellite.longitude = value;
    } else {
        return false;
    }
    return true;
}

// The place and the satellite, read the way the other commands read them.
class Sky {
public:
    Sky(const PlaceOptions& place, const std::optional<fs::path>& package)
        : place_(place), package_(package) {}

    // The site's coordinates, refused outside the pointing tab's ranges.
    void readSite() {
        const Site site = siteOf(place_, workspace());
        longitude_ = common::parseLeadingNumber(site.longitudeText);
        latitude_ = common::parseLeadingNumber(site.latitudeText);
        const SiteError error = checkSite(longitude_, latitude_);
        if (error != SiteError::None) {
            fail(std::string(siteErrorText(error)));
        }
    }

    // Degrees east of the satellite, after checking it is above the site's horizon.
    double satelliteLongitude(const SatelliteOptions& satellite) {
        double longitude = 0;
        if (satellite.code) {
            const Satellite found =
                SatelliteList(dataPackagePath(package_), workspace()).find(*satellite.code);
            longitude = satelliteLongitudeOf(found.itemText);
            if (!satellite.code->empty() && ((*satellite.code)[0] == 'W')) {
                longitude = -longitude;
            }
        } else {
            const std::optional<double> typed = strictNumber(*satellite.longitude);
            if (!typed || *typed < -180 || *typed > 360) {
                fail("--sat-lon takes degrees east from -180 to 360, not " + *satellite.longitude);
            }
            longitude = *typed;
        }
        if (sun::satelliteDirection(longitude_, latitude_, longitude).elevation < 0) {
            fail("the satellite is below the horizon at this site");
        }
        return longitude;
    }

    double longitude() const { return longitude_; }
    double latitude() const { return latitude_; }

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
    double longitude_ = 0;
    double latitude_ = 0;
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
    readOptions(args, {"--json"},
                {"--city", "--lon", "--lat", "--sat", "--sat-lon", "--diameter", "--model",
                 "--band", "--year", "--package"},
                [&o](const std::string& option, const std::string& value) {
                    if (option == "--json") {
                        o.json = true;
                    } else if (takePlaceOption(o.place, option, value)) {
                        // --city, --lon or --lat
                    } else if (takeSatelliteOption(o.satellite, option, value)) {
                        // --sat or --sat-lon
                    } else if (option == "--diameter") {
                        o.diameter = value;
                    } else if (option == "--model") {
                        o.model = value;
                    } else if (option == "--band") {
                        o.band = bandOf(value);
                    } else if (option == "--year") {
                        o.year = value;
                    } else {
                        o.package = fs::path(value);
                    }
                });
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
    std::string modelText;
    sun::Band band = sun::Band::C;
    if (o.model) {
        if (antennaIndexOf(primeFocusCatalogue(), *o.model)) {
            band = sun::Band::C;
        } else if (antennaIndexOf(offsetCatalogue(), *o.model)) {
            band = sun::Band::Ku;
        } else {
            fail("unknown antenna model: " + *o.model);
        }
        modelText = *o.model;
    } else {
        const FeedType feed = o.band == sun::Band::Ku ? FeedType::Offset : FeedType::PrimeFocus;
        modelText = antennaCatalogueFor(feed)[static_cast<std::size_t>(defaultAntennaIndex(feed))]
                        .modelText;
        band = o.band.value_or(sun::Band::C);
    }
    return {antennaDiameterOf(modelText) / 100.0, o.band.value_or(band)};
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
    readOptions(
        args, {"--json"},
        {"--city", "--lon", "--lat", "--sat", "--sat-lon", "--azimuth", "--date", "--package"},
        [&o](const std::string& option, const std::string& value) {
            if (option == "--json") {
                o.json = true;
            } else if (takePlaceOption(o.place, option, value)) {
                // --city, --lon or --lat
            } else if (takeSatelliteOption(o.satellite, option, value)) {
                // --sat or --sat-lon
            } else if (option == "--azimuth") {
                o.azimuth = value;
            } else if (option == "--date") {
                o.date = value;
            } else {
                o.package = fs::path(value);
            }
        });
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
    return runReportingErrors([&args] { return sunOutage(args); });
}

int runSunAzimuthCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return sunAzimuth(args); });
}

} // namespace zorvast::app
