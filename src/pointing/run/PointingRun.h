// One pointing calculation from the pointing tab's inputs: validation, the three angles, the
// compass bearing, the result texts, the coverage reading and the dish sizes, in that order,
// with the diagram told at each of its steps.
#pragma once

#include "pointing/coverage/Coverage.h"
#include "pointing/coverage/DishSize.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/results/PointingResult.h"

#include <optional>
#include <string>

namespace zorvast::pointing {

// Read afresh from the controls at the start of every run.
struct PointingInputs {
    Site site;
    OrbitalPosition satellite; // read as degrees east whatever its letter
    FeedType feed = FeedType::PrimeFocus;
    Mounting mounting = Mounting::Upright;
    int antennaOffset = 0; // the selected model's item number
    bool declinationCorrection = false;
    CoverageStrengths coverage; // the selected satellite's
};

// What the diagram needs at each of its steps.
struct DiagramStep {
    const PointingInputs& inputs;
    const PointingResult& result;
    std::string clockText; // empty when the azimuth is not shown
    SignalReading signal;  // set before drawSignal
};

// The canvas side of a run; every step does nothing by default.
class PointingDiagram {
public:
    virtual ~PointingDiagram() = default;
    virtual void updateSprites(const DiagramStep&) {}    // sprites shown, hidden, turned; cleared
    virtual void drawElevation(const DiagramStep&) {}    // side view and droop angle
    virtual void drawBearingTexts(const DiagramStep&) {} // south, compass and watch texts
    virtual void drawPolarisationTexts(const DiagramStep&) {}
    virtual void drawNoCoverageMarks(const DiagramStep&) {}
    virtual void drawSignal(const DiagramStep&) {}
};

struct PointingOutcome {
    SiteError error = SiteError::None; // nothing else is set when this is not None
    std::string clockText;
    SignalReading signal;
    // The strength box after the coverage step: unchanged (nothing) when the coverage is unknown.
    std::optional<int> strength;
    // Whether the dish-size labels are refilled: the strength is a number of at least 0. The
    // sizes are nothing for a strength outside the table.
    bool dishSizeSuggested = false;
    std::optional<DishSize> dishSize;
};

// `result` holds the previous run's texts and is updated in place; `strengthBox` is what the
// strength box reads before the run.
PointingOutcome runPointing(const PointingInputs& inputs, double strengthBox,
                            PointingResult& result, PointingDiagram* diagram = nullptr);

} // namespace zorvast::pointing
