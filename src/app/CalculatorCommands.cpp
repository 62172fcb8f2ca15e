#include "app/CalculatorCommands.h"

#include "app/CliSupport.h"
#include "app/JsonText.h"
#include "common/Numbers.h"
#include "pointing/Messages.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/calculators/FeedSpacing.h"
#include "pointing/calculators/Obstacle.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::app {

const char* const kSpacingUsage =
    "  zorvast-cli spacing --main CODE --offset CODE (--city PROVINCE/CITY | --lon X --lat Y)\n"
    "                      [--feed prime|offset] [--model TEXT] [--package PATH] [--json]\n";
const char* const kObstacleUsage =
    "  zorvast-cli obstacle --distance D --height H --antenna A [--json]\n";

namespace {

namespace fs = std::filesystem;
using namespace zorvast::pointing;

struct SpacingOptions {
    std::optional<std::string> mainCode;
    std::optional<std::string> offsetCode;
    PlaceOptions place;
    FeedType feed = FeedType::PrimeFocus;
    std::optional<std::string> model;
    std::optional<fs::path> package;
    bool json = false;
};

SpacingOptions parseSpacingOptions(const std::vector<std::string>& args) {
    SpacingOptions o;
    Options options = {
        flagOption("--json", o.json),
        textOption("--main", o.mainCode),
        textOption("--offset", o.offsetCode),
        valueOption("--feed", [&o](const std::string& value) { o.feed = feedTypeOf(value); }),
        textOption("--model", o.model),
        pathOption("--package", o.package),
    };
    addPlaceOptions(options, o.place);
    readOptions(args, options);
    if (!o.mainCode) {
        fail("no main satellite given: --main CODE");
    }
    if (!o.offsetCode) {
        fail("no offset satellite given: --offset CODE");
    }
    checkPlace(o.place);
    return o;
}

std::string spacingText(const FeedSpacing& spacing, const std::string& polarisationText) {
    std::string out = spacing.horizontalCaption + std::to_string(spacing.horizontal) + "cm\n" +
                      spacing.verticalCaption + std::to_string(spacing.vertical) + "cm\n" +
                      "极化角：" + polarisationText + "\n";
    if (spacing.tooClose) {
        out += unixLines(kFeedsTooCloseText);
    }
    return out;
}

std::string spacingJson(const FeedSpacing& spacing, const std::string& polarisationText) {
    JsonObject json;
    json.text("horizontalCaption", spacing.horizontalCaption)
        .integer("horizontalValue", spacing.horizontal)
        .text("verticalCaption", spacing.verticalCaption)
        .integer("verticalValue", spacing.vertical)
        .text("polarisation", polarisationText)
        .boolean("warning", spacing.tooClose);
    return json.str() + "\n";
}

int spacing(const std::vector<std::string>& args) {
    const SpacingOptions o = parseSpacingOptions(args);
    const int modelIndex = antennaIndexFor(o.feed, o.model);

    Workspace workspace;
    const Place place = placeOf(o.place, workspace.store());
    SatelliteList satellites(dataPackagePath(o.package), workspace.store());
    const Satellite main = satellites.find(*o.mainCode);
    // The offset list shows the position code alone; the lookup only proves it exists.
    satellites.find(*o.offsetCode);

    if (samePosition(main.itemText, *o.offsetCode)) {
        fail(std::string(kSameSatelliteText));
    }
    const FeedSpacingResult result =
        estimateFeedSpacing({.main = readPositionCode(positionCodeOf(main.itemText)),
                             .offset = readPositionCode(*o.offsetCode),
                             .feed = o.feed,
                             .diameterCm = static_cast<double>(
                                 antennaDiameterAt(antennaCatalogueFor(o.feed), modelIndex)),
                             .site = place.site});
    const std::string polarisation = common::formatDouble(result.polarisation);
    writeOutput(o.json ? spacingJson(result.spacing, polarisation)
                       : spacingText(result.spacing, polarisation));
    return 0;
}

int obstacle(const std::vector<std::string>& args) {
    std::string distance;
    std::string height;
    std::string antenna;
    bool json = false;
    // A box left out is an empty box.
    readOptions(args, {flagOption("--json", json), textOption("--distance", distance),
                       textOption("--height", height), textOption("--antenna", antenna)});
    const ObstacleOutcome outcome =
        computeObstacleClearance(readObstacleInputs(distance, height, antenna));
    if (!outcome.message.empty()) {
        fail(std::string(outcome.message));
    }
    const std::string result = common::formatDouble(outcome.result.value_or(0));
    writeOutput(json ? JsonObject().text("minimumElevation", result).str() + "\n" : result + "\n");
    return 0;
}

} // namespace

int runSpacingCommand(const std::vector<std::string>& args) {
    return runReportingErrors(spacing, args);
}

int runObstacleCommand(const std::vector<std::string>& args) {
    return runReportingErrors(obstacle, args);
}

} // namespace zorvast::app
