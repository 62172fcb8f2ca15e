#include "pointing/diagram/DiagramPlan.h"

#include "common/Numbers.h"
#include "pointing/Messages.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/results/ResultTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zorvast::pointing {

using common::decimalRound;

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kDarkRed{128, 0, 0};
constexpr Rgb kBlue{100, 100, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr int kPivotX = kSidePivotX;
constexpr int kPivotY = kSidePivotY;

int wholeRounded(double value) {
    return static_cast<int>(common::truncateToInteger(decimalRound(value, 0)));
}

int trunc(double value) {
    return static_cast<int>(common::truncateToInteger(value));
}

double cosDegrees(int degrees) {
    return std::cos(toRadians(degrees));
}

double sinDegrees(int degrees) {
    return std::sin(toRadians(degrees));
}

int signOf(int value) {
    return (value > 0) - (value < 0);
}

SpriteTurn turnBy(int delta, int timeLimitMs) {
    return {signOf(delta), std::abs(delta), timeLimitMs};
}

int normalised(int angle) {
    return ((angle % 360) + 360) % 360;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        count += (c & 0xC0) != 0x80;
    }
    return count;
}

// One leading space for texts of at most `upTo` characters.
std::string padded(const std::string& text, std::size_t upTo = 2) {
    return characterCount(text) <= upTo ? " " + text : text;
}

DrawText text(int x, int y, std::string value, int size, bool bold, Rgb colour) {
    return {x, y, std::move(value), size, bold, colour};
}

} // namespace

const std::array<SpriteSetup, kSpriteCount>& spriteSetups() {
    static const std::array<SpriteSetup, kSpriteCount> setups = {{
        {SpriteId::DishTopPrime, kDishSpriteSide, 54, 52, 0},
        {SpriteId::DishSidePrime, kDishSpriteSide, 544, 53, 226},
        {SpriteId::DishTopOffset, kDishSpriteSide, 54, 52, 0},
        {SpriteId::DishSideOffset, kDishSpriteSide, 542, 52, 226},
        {SpriteId::FeedPrime, kPrimeFeedSpriteSide, 317, 114, 0},
        {SpriteId::FeedOffset, kOffsetLnbSpriteSide, 339, 137, 0},
        {SpriteId::HourHand, kHourHandSpriteSide, 303, 23, 0},
    }};
    return setups;
}

SpriteStates initialSpriteStates() {
    SpriteStates states;
    for (const SpriteSetup& setup : spriteSetups()) {
        states[indexOf(setup.id)].angle = setup.startAngle;
    }
    // The side views are switched on before their angle is set.
    states[indexOf(SpriteId::DishSidePrime)].visible = true;
    states[indexOf(SpriteId::DishSideOffset)].visible = true;
    return states;
}

SpritePlan planSprites(const DiagramStep& step, const SpriteStates& current) {
    const PointingResult& r = step.result;
    const bool prime = step.inputs.feed == FeedType::PrimeFocus;
    const bool azimuthShown = r.azimuthVisible();
    const bool elevationShown = r.elevationVisible();
    SpritePlan plan;
    plan.states = current;
    auto state = [&plan](SpriteId id) -> SpriteState& {
        return plan.states[indexOf(id)];
    };
    auto turn = [&plan](SpriteId id, SpriteTurn t) {
        plan.turns[indexOf(id)] = t;
    };

    state(SpriteId::DishTopPrime).visible = prime && azimuthShown;
    state(SpriteId::DishSidePrime).visible = prime && elevationShown;
    state(SpriteId::DishTopOffset).visible = !prime && azimuthShown;
    state(SpriteId::DishSideOffset).visible = !prime && elevationShown;
    state(SpriteId::FeedPrime).visible = prime;
    state(SpriteId::FeedOffset).visible = !prime;
    state(SpriteId::HourHand).visible = azimuthShown;

    // Top view and watch hand: angle 0 shows due south.
    const int top = state(prime ? SpriteId::DishTopPrime : SpriteId::DishTopOffset).angle;
    state(SpriteId::HourHand).angle = top;
    const int shownBearing = top <= 179 ? top + 180 : top - 180;
    const int bearingDelta = azimuthShown ? wholeRounded(r.compassBearing) - shownBearing : 0;
    for (SpriteId id : {SpriteId::DishTopPrime, SpriteId::DishTopOffset, SpriteId::HourHand}) {
        turn(id, turnBy(bearingDelta, 4000));
    }

    // The offset side view is mirrored for an inverted dish, restarting from a resting angle.
    SpriteState& offsetSide = state(SpriteId::DishSideOffset);
    if (step.inputs.mounting == Mounting::Inverted) {
        if (!offsetSide.mirrored) {
            offsetSide.angle = 210;
        }
        offsetSide.mirrored = true;
    } else {
        if (offsetSide.mirrored || !offsetSide.visible) {
            offsetSide.angle = 260;
        }
        offsetSide.mirrored = false;
    }

    // Side view: angle a shows the elevation |a - 270|.
    const int side = prime ? state(SpriteId::DishSidePrime).angle
                           : offsetSide.angle - wholeRounded(r.signedOffset / 100.0);
    const double elevation = r.elevation.value();
    const int elevationDelta =
        common::greaterThan(elevation, 0) ? std::abs(side - 270) - wholeRounded(elevation) : 0;
    for (SpriteId id : {SpriteId::DishSideOffset, SpriteId::DishSidePrime}) {
        turn(id, turnBy(elevationDelta, 5000));
    }

    // Feed: its angle, taken from -179 to 180, is the polarisation shown.
    int feed = state(prime ? SpriteId::FeedPrime : SpriteId::FeedOffset).angle;
    if (feed > 180) {
        feed -= 360;
    }
    const int feedDelta = wholeRounded(r.polarisation.value()) - feed;
    for (SpriteId id : {SpriteId::FeedPrime, SpriteId::FeedOffset}) {
        turn(id, turnBy(feedDelta, 3000));
    }
    return plan;
}

void drawElevation(const DiagramStep& step, Drawings& out) {
    const PointingResult& r = step.result;
    const bool prime = step.inputs.feed == FeedType::PrimeFocus;
    const double e = r.elevation.value();
    const std::string elevationText = r.elevation.text();

    if (!prime || step.inputs.mounting == Mounting::Inverted) {
        const int theta = wholeRounded(std::fabs(e - 360));
        const int x = trunc(cosDegrees(theta) * 90);
        const int y = trunc(sinDegrees(theta) * 90);
        out.push_back(DrawLine{kPivotX, kPivotY, kPivotX + x, kPivotY + y, 3, {255, 255, 0}, true});
        out.push_back(DrawLine{kPivotX,
                               kPivotY,
                               trunc(x / 5.0 + kPivotX),
                               trunc(y / 5.0 + kPivotY),
                               5,
                               {255, 255, 255},
                               true});
    }

    const double face = decimalRound(std::fabs(90 - e), 0);
    const int f = prime ? trunc(face) : trunc(face + r.signedOffset / 100.0);
    for (int i = std::min(f, 90); i <= std::max(f, 90); ++i) {
        const int px = trunc(cosDegrees(i) * 70 + kPivotX);
        const int py = trunc(sinDegrees(i) * 70 + kPivotY);
        out.push_back(DrawLine{kPivotX, kPivotY, px, py, 3, {255, 255, 150}, true});
        out.push_back(DrawPixel{px + 1, py + 1, {255, 100, 100}});
    }
    out.push_back(DrawLine{kPivotX, kPivotY, kPivotX, kPivotY + 90, 1, kRed, true});
    out.push_back(DrawLine{kPivotX, kPivotY, trunc(cosDegrees(f) * 90 + kPivotX),
                           trunc(sinDegrees(f) * 90 + kPivotY), 1, kRed, true});

    // A leader from the middle of the fan to the value.
    const Rgb leader{50, 50, 255};
    const int k = trunc(std::fabs(90.0 + f) * 0.5);
    const int kx = trunc(cosDegrees(k) * 70 + kPivotX);
    const int ky = trunc(sinDegrees(k) * 70 + kPivotY);
    out.push_back(DrawLine{kx, ky + 10, kx, 270, 1, leader, false});
    out.push_back(DrawLine{kx, 270, 700, 270, 1, leader, false});

    if (prime) {
        out.push_back(text(705, 254, padded(elevationText), 24, true, kDarkRed));
    } else if (common::lessThan(r.droop, 0)) {
        out.push_back(text(701, 256, padded(r.droopAngle), 20, true, kDarkRed));
    } else {
        out.push_back(text(705, 254, padded(r.droopAngle), 24, true, kDarkRed));
    }
    out.push_back(text(732, 235, std::string(kDroopCaption), 10, false, kBlack));
    out.push_back(text(703, 0, padded(elevationText), 24, true, kBlue));
    out.push_back(text(733, 38, std::string(kSignalAngleCaption), 10, false, kBlack));
}

void drawBearingTexts(const DiagramStep& step, Drawings& out) {
    const PointingResult& r = step.result;
    out.push_back(text(8, 256, padded(r.southOffset), 20, true, kDarkRed));
    out.push_back(text(4, 4, padded(r.compassText, 3), 18, true, kBlue));
    out.push_back(text(4, 235, r.southSide, 11, false, kBlack));
    out.push_back(text(
        7, 37, std::string(step.inputs.declinationCorrection ? kCompassCaption : kAzimuthCaption),
        10, false, kBlack));
    out.push_back(text(365, 68, step.clockText, 12, true, kRed));
    out.push_back(text(224, 5, r.watchHour, 19, true, kDarkRed));
    out.push_back(text(243, 37, std::string(kWatchCaption), 10, false, kBlack));
}

void drawPolarisationTexts(const DiagramStep& step, Drawings& out) {
    const PointingResult& r = step.result;
    const std::string shown = r.polarisation.text();
    const std::size_t length = characterCount(shown);
    const std::string polarisation =
        length == 1 ? "  " + shown : (length == 2 || length == 3 ? " " + shown : shown);
    out.push_back(text(469, 254, polarisation, 24, true, kBlue));

    int x = 221;
    const LnbSector sector = lnbSectorOf(r.polarisation.value());
    if (sector == LnbSector::Diagonal) {
        x = 225;
    } else if (sector == LnbSector::PositiveStraight || sector == LnbSector::NegativeStraight) {
        x = 231;
    }
    out.push_back(text(x, 259, r.lnbDirection, 16, true, kDarkRed));
    out.push_back(text(487, 237, std::string(kPolarisationCaption), 10, false, kBlack));
    const bool prime = step.inputs.feed == FeedType::PrimeFocus;
    out.push_back(text(prime ? 236 : 241, 236, r.lnbReferencePart, 10, false, kBlack));
}

void drawNoCoverageMarks(const DiagramStep& step, Drawings& out) {
    if (!step.result.elevationVisible()) {
        out.push_back(text(545, 130, std::string(kNoCoverageMark), 18, true, kDarkRed));
    }
    if (!step.result.azimuthVisible()) {
        out.push_back(text(55, 130, std::string(kNoCoverageMark), 18, true, kDarkRed));
    }
}

namespace {

Rgb barColour(Band band, int strength) {
    switch (strengthClass(band, strength)) {
    case StrengthClass::Strong:
        return {50, 255, 50};
    case StrengthClass::Medium:
        return {100, 100, 255};
    default:
        return {255, 50, 50};
    }
}

} // namespace

void drawSignal(const DiagramStep& step, Drawings& out) {
    const SignalReading& s = step.signal;
    if (!s.known()) {
        out.push_back(text(500, 12, std::string(kUnknownCoverageMark), 10, false, kDarkRed));
        return;
    }
    out.push_back(text(466, 6, std::string(kBandCCaption), 8, false, kBlack));
    out.push_back(text(466, 18, std::string(kBandKuCaption), 8, false, kBlack));
    out.push_back(text(545, 6, common::formatInteger(s.cStrength), 8, false, kBlack));
    out.push_back(text(545, 18, common::formatInteger(s.kuStrength), 8, false, kBlack));
    out.push_back(DrawRoundedRect{480, 7, 542, 16, 1, kBlack});
    out.push_back(DrawRoundedRect{480, 19, 542, 28, 1, kBlack});
    if (s.cStrength > 0) {
        out.push_back(DrawLine{484, 11, trunc((s.cStrength - 30) * 2.65 + 484), 11, 5,
                               barColour(Band::C, s.cStrength), false});
    }
    if (s.kuStrength > 0) {
        out.push_back(DrawLine{484, 23, trunc((s.kuStrength - 30) * 1.749 + 484), 23, 5,
                               barColour(Band::Ku, s.kuStrength), false});
    }
}

int turnedAngle(int fromAngle, const SpriteTurn& turn, std::int64_t elapsedMs) {
    const std::int64_t within = std::clamp<std::int64_t>(elapsedMs, 0, turn.timeLimitMs);
    const std::int64_t steps = std::min<std::int64_t>(turn.total, within / kTurnIntervalMs);
    return normalised(fromAngle + static_cast<int>(steps) * turn.step);
}

bool turnFinished(const SpriteTurn& turn, std::int64_t elapsedMs) {
    return turn.step == 0 || elapsedMs >= turn.timeLimitMs ||
           elapsedMs / kTurnIntervalMs >= turn.total;
}

void DiagramPlanner::updateSprites(const DiagramStep& step) {
    sprites_ = planSprites(step, states_);
    states_ = sprites_.states;
    drawings_.clear();
}

void DiagramPlanner::drawElevation(const DiagramStep& step) {
    pointing::drawElevation(step, drawings_);
}

void DiagramPlanner::drawBearingTexts(const DiagramStep& step) {
    pointing::drawBearingTexts(step, drawings_);
}

void DiagramPlanner::drawPolarisationTexts(const DiagramStep& step) {
    pointing::drawPolarisationTexts(step, drawings_);
}

void DiagramPlanner::drawNoCoverageMarks(const DiagramStep& step) {
    pointing::drawNoCoverageMarks(step, drawings_);
}

void DiagramPlanner::drawSignal(const DiagramStep& step) {
    pointing::drawSignal(step, drawings_);
}

} // namespace zorvast::pointing
