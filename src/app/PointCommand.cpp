#include "app/PointCommand.h"

#include "app/CliSupport.h"
#include "app/JsonText.h"
#include "common/Numbers.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/report/PointingReport.h"
#include "pointing/run/PointingRun.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::app {

const char* const kPointUsage =
    "  zorvast-cli point (--city PROVINCE/CITY | --lon X --lat Y) --sat CODE\n"
    "                    [--feed prime|offset] [--mount upright|inverted] [--model TEXT]\n"
    "                    [--declination] [--strength N] [--package PATH] [--json]\n";

namespace {

namespace fs = std::filesystem;
using namespace zorvast::pointing;

struct PointOptions {
    PlaceOptions place;
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
    readOptions(args, {"--declination", "--json"},
                {"--city", "--lon", "--lat", "--sat", "--feed", "--mount", "--model", "--strength",
                 "--package"},
                [&o](const std::string& option, const std::string& value) {
                    if (option == "--declination") {
                        o.declination = true;
                    } else if (option == "--json") {
                        o.json = true;
                    } else if (takePlaceOption(o.place, option, value)) {
                        // --city, --lon or --lat
                    } else if (option == "--sat") {
                        o.satellite = value;
                    } else if (option == "--feed") {
                        o.feed = feedTypeOf(value);
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
                });
    checkPlace(o.place);
    if (!o.satellite) {
        fail("no satellite given: --sat CODE");
    }
    return o;
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
    const int modelIndex = antennaIndexFor(o.feed, o.model);

    Workspace workspace;
    const Site site = siteOf(o.place, workspace.store());
    const Satellite satellite =
        SatelliteList(dataPackagePath(o.package), workspace.store()).find(*o.satellite);

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
        o.json ? jsonOutcome(result, outcome, o.strength, report) : unixLines(report);
    writeOutput(output);
    return 0;
}

} // namespace

int runPointCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return point(args); });
}

} // namespace zorvast::app
