// A pointing run the way the pointing tab drives it: the boxes' texts read into typed inputs,
// the run, and its numbers written back as the texts the tab shows.
#pragma once

#include "common/Numbers.h"
#include "pointing/coverage/DishSize.h"
#include "pointing/run/PointingRun.h"

#include <optional>
#include <string>

namespace zorvast::pointing {

struct TextInputs {
    std::string longitudeText;
    std::string latitudeText;
    std::string satelliteText; // "E115.5(name)"
    FeedType feed = FeedType::PrimeFocus;
    Mounting mounting = Mounting::Upright;
    int antennaOffset = 0;
    bool declinationCorrection = false;
    std::string sC;
    std::string sKu;
};

inline PointingInputs readInputs(const TextInputs& in) {
    return {.site = readSite(in.longitudeText, in.latitudeText),
            .satellite = readSatelliteItem(in.satelliteText),
            .feed = in.feed,
            .mounting = in.mounting,
            .antennaOffset = in.antennaOffset,
            .declinationCorrection = in.declinationCorrection,
            .coverage = readCoverage(in.sC, in.sKu)};
}

struct TextOutcome {
    SiteError error = SiteError::None;
    double siteLongitude = 0;
    double siteLatitude = 0;
    double satelliteLongitude = 0;
    std::string clockText;
    SignalReading signal;
    std::optional<std::string> strengthText; // the strength box when the run refills it
    std::optional<DishSizeTexts> dishSize;   // the two size labels when the run refills them
};

inline TextOutcome runPointing(const TextInputs& texts, const std::string& strengthBoxText,
                               PointingResult& result, PointingDiagram* diagram = nullptr) {
    const PointingInputs inputs = readInputs(texts);
    const PointingOutcome outcome =
        runPointing(inputs, readStrength(strengthBoxText), result, diagram);
    TextOutcome out;
    out.error = outcome.error;
    if (outcome.error != SiteError::None) {
        return out;
    }
    out.siteLongitude = inputs.site.longitude;
    out.siteLatitude = inputs.site.latitude;
    out.satelliteLongitude = inputs.satellite.degrees;
    out.clockText = outcome.clockText;
    out.signal = outcome.signal;
    if (outcome.strength) {
        out.strengthText = common::formatInteger(*outcome.strength);
    }
    if (outcome.dishSizeSuggested) {
        out.dishSize = dishSizeTexts(outcome.dishSize);
    }
    return out;
}

} // namespace zorvast::pointing
