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

Mounting mountingOf(const std::string& value) {
    if (value == "upright") {
        return Mounting::Upright;
    }
    if (value == "inverted") {
        return Mounting::Inverted;
    }
    fail("--mount takes upright or inverted, not " + value);
}

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
    Options options = {
        flagOption("--declination", o.declination),
        flagOption("--json", o.json),
        textOption("--sat", o.satellite),
        valueOption("--feed", [&o](const std::string& value) { o.feed = feedTypeOf(value); }),
        valueOption("--mount", [&o](const std::string& value) { o.mounting = mountingOf(value); }),
        textOption("--model", o.model),
        textOption("--strength", o.strength),
        pathOption("--package", o.package),
    };
    addPlaceOptions(options, o.place);
    readOptions(args, options);
    checkPlace(o.place);
    if (!o.satellite) {
        fail("no satellite given: --sat CODE");
    }
    return o;
}

std::string jsonOutcome(const PointingResult& r, const PointingOutcome& outcome,
                        const std::string& strengthBefore, const std::string& report) {
    const std::optional<DishSizeTexts> sizes =
        outcome.dishSizeSuggested ? std::optional(dishSizeTexts(outcome.dishSize)) : std::nullopt;
    JsonObject json;
    json.text("azimuth", r.azimuth.text())
        .text("elevation", r.elevation.text())
        .text("polarisation", r.polarisation.text())
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
        .text("strengthBox",
              outcome.strength ? common::formatInteger(*outcome.strength) : strengthBefore)
        .text("threshold", sizes ? sizes->threshold : "")
        .text("recommended", sizes ? sizes->recommended : "")
        .text("report", report);
    return json.str() + "\n";
}

int point(const std::vector<std::string>& args) {
    const PointOptions o = parseOptions(args);

    const std::vector<AntennaModel>& models = antennaCatalogueFor(o.feed);
    const int modelIndex = antennaIndexFor(o.feed, o.model);

    Workspace workspace;
    const Place place = placeOf(o.place, workspace.store());
    const Satellite satellite =
        SatelliteList(dataPackagePath(o.package), workspace.store()).find(*o.satellite);

    const PointingInputs inputs{.site = place.site,
                                .satellite = satellite.position,
                                .feed = o.feed,
                                .mounting = o.mounting,
                                .antennaOffset = antennaOffsetOf(models, modelIndex),
                                .declinationCorrection = o.declination,
                                .coverage = satellite.coverage};
    PointingResult result;
    const PointingOutcome outcome = runPointing(inputs, readStrength(o.strength), result);
    if (outcome.error != SiteError::None) {
        fail(std::string(siteErrorText(outcome.error)));
    }

    ReportInputs reportInputs;
    reportInputs.province = place.province;
    reportInputs.city = place.city;
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
    return runReportingErrors(point, args);
}

} // namespace zorvast::app
