#include "pointing/run/PointingRun.h"

#include "common/Numbers.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/results/ResultTexts.h"

namespace zorvast::pointing {

PointingOutcome runPointing(const PointingInputs& inputs, const std::string& strengthBoxText,
                            PointingResult& result, PointingDiagram* diagram) {
    PointingOutcome outcome;
    const double lon = common::parseLeadingNumber(inputs.longitudeText);
    const double lat = common::parseLeadingNumber(inputs.latitudeText);
    outcome.error = checkSite(lon, lat);
    if (outcome.error != SiteError::None) {
        return outcome;
    }
    const double sat = satelliteLongitudeOf(inputs.satelliteText);
    outcome.siteLongitude = lon;
    outcome.siteLatitude = lat;
    outcome.satelliteLongitude = sat;

    result.azimuthText = azimuthLabelText(lon, lat, sat);
    result.elevationText = elevationLabelText(lon, lat, sat);
    result.polarisationText = polarisationLabelText(lon, lat, sat);

    // "- -" reads as 0.
    result.compassBearing = static_cast<float>(common::parseLeadingNumber(result.azimuthText));
    if (inputs.declinationCorrection) {
        result.compassBearing = compassBearingOf(result.compassBearing, declinationAt(lat, lon));
    }
    result.signedOffset = signedOffsetOf(inputs.antennaOffset, inputs.feed, inputs.mounting);

    PointingDiagram quiet;
    PointingDiagram& canvas = diagram ? *diagram : quiet;
    DiagramStep step{inputs, result, lon, lat, sat, {}, {}};
    canvas.updateSprites(step);
    outcome.clockText = composeResultTexts(result, inputs.feed);
    step.clockText = outcome.clockText;
    if (result.elevationVisible()) {
        canvas.drawElevation(step);
    }
    if (result.azimuthVisible()) {
        canvas.drawBearingTexts(step);
    }
    canvas.drawPolarisationTexts(step);
    canvas.drawNoCoverageMarks(step);

    outcome.signal = readSignal(lon, lat, inputs.sC, inputs.sKu);
    step.signal = outcome.signal;
    std::string strength = strengthBoxText;
    if (outcome.signal.known()) {
        strength =
            common::formatInteger(inputs.feed == FeedType::PrimeFocus ? outcome.signal.cStrength
                                                                      : outcome.signal.kuStrength);
        outcome.strengthText = strength;
    }
    canvas.drawSignal(step);

    if (common::greaterOrEqual(common::parseLeadingNumber(strength), 0)) {
        outcome.dishSize = dishSizeTextsFor(strength);
    }
    return outcome;
}

} // namespace zorvast::pointing
