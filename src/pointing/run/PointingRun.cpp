#include "pointing/run/PointingRun.h"

#include "common/Numbers.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/results/ResultTexts.h"

namespace zorvast::pointing {

PointingOutcome runPointing(const PointingInputs& inputs, double strengthBox,
                            PointingResult& result, PointingDiagram* diagram) {
    PointingOutcome outcome;
    const Site& site = inputs.site;
    outcome.error = checkSite(site);
    if (outcome.error != SiteError::None) {
        return outcome;
    }
    const double lon = site.longitude;
    const double lat = site.latitude;
    const double sat = inputs.satellite.degrees;

    result.azimuth = azimuthLabel(lon, lat, sat);
    result.elevation = elevationLabel(lon, lat, sat);
    result.polarisation = polarisationLabel(lon, lat, sat);

    // A hidden azimuth counts as 0.
    result.compassBearing = static_cast<float>(result.azimuth.value());
    if (inputs.declinationCorrection) {
        result.compassBearing = compassBearingOf(result.compassBearing, declinationAt(lat, lon));
    }
    result.signedOffset = signedOffsetOf(inputs.antennaOffset, inputs.feed, inputs.mounting);

    PointingDiagram quiet;
    PointingDiagram& canvas = diagram ? *diagram : quiet;
    DiagramStep step{.inputs = inputs, .result = result};
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

    outcome.signal = readSignal(site, inputs.coverage);
    step.signal = outcome.signal;
    double strength = strengthBox;
    if (outcome.signal.known()) {
        outcome.strength = inputs.feed == FeedType::PrimeFocus ? outcome.signal.cStrength
                                                               : outcome.signal.kuStrength;
        strength = *outcome.strength;
    }
    canvas.drawSignal(step);

    if (common::greaterOrEqual(strength, 0)) {
        outcome.dishSizeSuggested = true;
        outcome.dishSize = dishSizeFor(strength);
    }
    return outcome;
}

} // namespace zorvast::pointing
