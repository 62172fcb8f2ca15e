#include "app/CalculatorCommands.h"

#include "app/CliSupport.h"
#include "app/JsonText.h"
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
    readOptions(
        args, {"--json"},
        {"--main", "--offset", "--city", "--lon", "--lat", "--feed", "--model", "--package"},
        [&o](const std::string& option, const std::string& value) {
            if (option == "--json") {
                o.json = true;
            } else if (option == "--main") {
                o.mainCode = value;
            } else if (option == "--offset") {
                o.offsetCode = value;
            } else if (takePlaceOption(o.place, option, value)) {
                // --city, --lon or --lat
            } else if (option == "--feed") {
                o.feed = feedTypeOf(value);
            } else if (option == "--model") {
                o.model = value;
            } else {
                o.package = fs::path(value);
            }
        });
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
    const Site site = siteOf(o.place, workspace.store());
    SatelliteList satellites(dataPackagePath(o.package), workspace.store());
    const Satellite main = satellites.find(*o.mainCode);
    // The offset list shows the position code alone; the lookup only proves it exists.
    satellites.find(*o.offsetCode);

    FeedSpacingInputs inputs;
    inputs.mainSatelliteText = main.itemText;
    inputs.offsetSatelliteText = *o.offsetCode;
    inputs.feed = o.feed;
    inputs.modelText = antennaCatalogueFor(o.feed)[static_cast<std::size_t>(modelIndex)].modelText;
    inputs.longitudeText = site.longitudeText;
    inputs.latitudeText = site.latitudeText;
    const FeedSpacingResult result = estimateFeedSpacing(inputs);
    if (!result.spacing) {
        fail(std::string(kSameSatelliteText));
    }
    writeOutput(o.json ? spacingJson(*result.spacing, result.polarisationText)
                       : spacingText(*result.spacing, result.polarisationText));
    return 0;
}

int obstacle(const std::vector<std::string>& args) {
    ObstacleInputs inputs;
    bool json = false;
    // A box left out is an empty box.
    readOptions(args, {"--json"}, {"--distance", "--height", "--antenna"},
                [&](const std::string& option, const std::string& value) {
                    if (option == "--json") {
                        json = true;
                    } else if (option == "--distance") {
                        inputs.distanceText = value;
                    } else if (option == "--height") {
                        inputs.obstacleHeightText = value;
                    } else {
                        inputs.antennaHeightText = value;
                    }
                });
    const ObstacleOutcome outcome = computeObstacleClearance(inputs);
    if (!outcome.message.empty()) {
        fail(outcome.message);
    }
    writeOutput(json ? JsonObject().text("minimumElevation", outcome.resultText).str() + "\n"
                     : outcome.resultText + "\n");
    return 0;
}

} // namespace

int runSpacingCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return spacing(args); });
}

int runObstacleCommand(const std::vector<std::string>& args) {
    return runReportingErrors([&args] { return obstacle(args); });
}

} // namespace zorvast::app
