#include "pointing/diagram/DiagramPlan.h"

#include "pointing/run/PointingRun.h"

#include "pointing/results/ResultTexts.h"
#include "support/PointingTexts.h"
#include "support/ResultLabels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace zorvast::pointing {
namespace {

// A run through the core with the planner as its diagram.
struct PlannedRun {
    TextInputs inputs;
    PointingResult result;
    DiagramPlanner planner;

    PlannedRun(const char* lon, const char* lat, const char* satellite,
               FeedType feed = FeedType::PrimeFocus, Mounting mounting = Mounting::Upright,
               int offset = 0) {
        inputs.longitudeText = lon;
        inputs.latitudeText = lat;
        inputs.satelliteText = satellite;
        inputs.feed = feed;
        inputs.mounting = mounting;
        inputs.antennaOffset = offset;
        inputs.sC = "383600404142";
        inputs.sKu = "004800515052";
    }

    void run() { runPointing(inputs, "", result, &planner); }

    const SpriteState& sprite(SpriteId id) const {
        return planner.spritePlan().states[indexOf(id)];
    }
    SpriteTurn turn(SpriteId id) const {
        return planner.spritePlan().turns[indexOf(id)].value_or(SpriteTurn{99, 99, 99});
    }
    std::vector<DrawText> texts() const {
        std::vector<DrawText> found;
        for (const Drawing& d : planner.drawings()) {
            if (const auto* t = std::get_if<DrawText>(&d)) {
                found.push_back(*t);
            }
        }
        return found;
    }
    std::optional<DrawText> textAt(int x, int y) const {
        for (const DrawText& t : texts()) {
            if (t.x == x && t.y == y) {
                return t;
            }
        }
        return std::nullopt;
    }
    template <typename T> std::size_t count() const {
        return static_cast<std::size_t>(
            std::count_if(planner.drawings().begin(), planner.drawings().end(),
                          [](const Drawing& d) { return std::holds_alternative<T>(d); }));
    }
};

TEST(DiagramPlan, SpritesAreCreatedOnTheCanvasAtTheirStartingAngles) {
    const auto& setups = spriteSetups();
    const SpriteStates initial = initialSpriteStates();
    for (std::size_t i = 0; i < kSpriteCount; ++i) {
        const SpriteSetup& setup = setups[i];
        EXPECT_EQ(indexOf(setup.id), i);
        // Turned to any angle, a sprite's picture stays on the canvas.
        EXPECT_GE(setup.left, 0) << i;
        EXPECT_GE(setup.top, 0) << i;
        EXPECT_LE(setup.left + setup.side, kDiagramWidth) << i;
        EXPECT_LE(setup.top + setup.side, kDiagramHeight) << i;
        EXPECT_EQ(initial[i].angle, setup.startAngle) << i;
        EXPECT_FALSE(initial[i].mirrored) << i;
    }
    // The prime-focus and offset top views take turns in the same place.
    const auto centre = [&setups](SpriteId id) {
        const SpriteSetup& s = setups[indexOf(id)];
        return std::pair{s.left * 2 + s.side, s.top * 2 + s.side}; // doubled
    };
    EXPECT_EQ(centre(SpriteId::DishTopPrime), centre(SpriteId::DishTopOffset));
    // Only the side views are shown before the first run, both at the same elevation.
    EXPECT_TRUE(initial[indexOf(SpriteId::DishSidePrime)].visible);
    EXPECT_TRUE(initial[indexOf(SpriteId::DishSideOffset)].visible);
    for (SpriteId id : {SpriteId::DishTopPrime, SpriteId::DishTopOffset, SpriteId::FeedPrime,
                        SpriteId::FeedOffset, SpriteId::HourHand}) {
        EXPECT_FALSE(initial[indexOf(id)].visible) << indexOf(id);
    }
    EXPECT_EQ(initial[indexOf(SpriteId::DishSidePrime)].angle,
              initial[indexOf(SpriteId::DishSideOffset)].angle);
}

TEST(DiagramPlan, TopViewsTurnByTheBearingChange) {
    struct Case {
        const char* lon;
        const char* lat;
        const char* satellite;
        int step;
        int total;
    };
    const Case cases[] = {
        {"116.4", "39.9", "E115.5(a)", 1, 1},    // 181.4 from 180
        {"121.47", "31.23", "E100.5(b)", 1, 37}, // 216.5 rounds to 217
        {"87.6", "43.8", "E134(c)", -1, 57},     // 123.4
        {"110", "20", "E110(d)", 0, 0},
        {"140", "5", "E100.5(e)", 1, 84}, // 264, far west of south
    };
    for (const Case& c : cases) {
        PlannedRun r(c.lon, c.lat, c.satellite);
        r.run();
        for (SpriteId id : {SpriteId::DishTopPrime, SpriteId::DishTopOffset, SpriteId::HourHand}) {
            EXPECT_EQ(r.turn(id), (SpriteTurn{c.step, c.total, 4000}))
                << c.lon << "/" << c.lat << " " << c.satellite << " sprite " << indexOf(id);
        }
    }
}

TEST(DiagramPlan, AnEightyFiveDegreeTurnSteppingBack) {
    TextInputs inputs;
    PointingResult result;
    result.azimuth = labelOf("95");
    result.elevation = labelOf("30");
    result.polarisation = labelOf("0");
    result.compassBearing = 95;
    const PointingInputs typed = readInputs(inputs);
    const DiagramStep step{typed, result, {}, {}};
    const SpritePlan plan = planSprites(step, initialSpriteStates());
    EXPECT_EQ(plan.turns[indexOf(SpriteId::DishTopPrime)], (SpriteTurn{-1, 85, 4000}));
    // From 200 (bearing 20) the turn never takes the short way round: the turn runs back 75
    // degrees.
    SpriteStates from = initialSpriteStates();
    from[indexOf(SpriteId::DishTopPrime)].angle = 200;
    from[indexOf(SpriteId::HourHand)].angle = 10;
    const SpritePlan later = planSprites(step, from);
    EXPECT_EQ(later.turns[indexOf(SpriteId::DishTopPrime)], (SpriteTurn{1, 75, 4000}));
    EXPECT_EQ(later.states[indexOf(SpriteId::HourHand)].angle, 200); // caught up at once
}

TEST(DiagramPlan, MountingSwitchesResetTheOffsetSideView) {
    PlannedRun r("116.46", "39.92", "E115.5(a)", FeedType::Offset, Mounting::Upright, 2275);
    r.run();
    EXPECT_FALSE(r.sprite(SpriteId::DishSideOffset).mirrored);
    EXPECT_EQ(r.sprite(SpriteId::DishSideOffset).angle, 226); // shown and upright: no reset
    // 226 - 23 shows 67; the elevation is 44.
    EXPECT_EQ(r.turn(SpriteId::DishSideOffset), (SpriteTurn{1, 23, 5000}));

    r.inputs.mounting = Mounting::Inverted;
    r.run();
    EXPECT_TRUE(r.sprite(SpriteId::DishSideOffset).mirrored);
    EXPECT_EQ(r.sprite(SpriteId::DishSideOffset).angle, 210);
    // 210 + 23 shows 37.
    EXPECT_EQ(r.turn(SpriteId::DishSideOffset), (SpriteTurn{-1, 7, 5000}));

    r.run(); // already mirrored: no second reset
    EXPECT_EQ(r.sprite(SpriteId::DishSideOffset).angle, 210);

    r.inputs.mounting = Mounting::Upright;
    r.run();
    EXPECT_FALSE(r.sprite(SpriteId::DishSideOffset).mirrored);
    EXPECT_EQ(r.sprite(SpriteId::DishSideOffset).angle, 260);

    // A prime-focus run hides the offset side view; the next offset run resets it to 260.
    r.inputs.feed = FeedType::PrimeFocus;
    r.run();
    EXPECT_FALSE(r.sprite(SpriteId::DishSideOffset).visible);
    EXPECT_EQ(r.sprite(SpriteId::DishSideOffset).angle, 260);
    EXPECT_TRUE(r.sprite(SpriteId::FeedPrime).visible);
    EXPECT_FALSE(r.sprite(SpriteId::FeedOffset).visible);
}

TEST(DiagramPlan, ASatelliteBelowTheHorizon) {
    PlannedRun r("75", "40", "E160(far)");
    r.run();
    ASSERT_EQ(r.result.elevation.text(), "- -");
    EXPECT_FALSE(r.sprite(SpriteId::DishSidePrime).visible);
    EXPECT_EQ(r.turn(SpriteId::DishSidePrime), (SpriteTurn{0, 0, 5000}));
    EXPECT_TRUE(r.sprite(SpriteId::DishTopPrime).visible);
    EXPECT_EQ(r.textAt(545, 130).value_or(DrawText{}).text, "【无信号覆盖】");
    EXPECT_FALSE(r.textAt(55, 130));
    EXPECT_FALSE(r.textAt(732, 235));    // no side-view drawing
    EXPECT_EQ(r.count<DrawPixel>(), 0u); // no fan

    PlannedRun west("150", "40", "E60(west)");
    west.run();
    EXPECT_FALSE(west.sprite(SpriteId::HourHand).visible);
    EXPECT_EQ(west.turn(SpriteId::DishTopPrime), (SpriteTurn{0, 0, 4000}));
    EXPECT_TRUE(west.textAt(55, 130));
    EXPECT_TRUE(west.textAt(545, 130));
    EXPECT_FALSE(west.textAt(224, 5)); // no watch hour
}

TEST(DiagramPlan, BeijingPrimeFocusPlanInFull) {
    PlannedRun r("116.46", "39.92", "E115.5(a)");
    r.run();
    // Fan from 46 to 90 degrees: one line and one pixel each, then the plumb and face lines and
    // the two leader lines.
    EXPECT_EQ(r.count<DrawPixel>(), 45u);
    EXPECT_EQ(r.count<DrawLine>(), 45u + 2 + 2 + 2); // and the two signal bars
    const Drawings& d = r.planner.drawings();
    EXPECT_EQ(std::get<DrawLine>(d[0]), (DrawLine{632, 142, 680, 192, 3, {255, 255, 150}, true}));
    EXPECT_EQ(std::get<DrawPixel>(d[1]), (DrawPixel{681, 193, {255, 100, 100}}));
    EXPECT_EQ(std::get<DrawLine>(d[90]), (DrawLine{632, 142, 632, 232, 1, {255, 0, 0}, true}));
    EXPECT_EQ(std::get<DrawLine>(d[91]), (DrawLine{632, 142, 694, 206, 1, {255, 0, 0}, true}));
    EXPECT_EQ(std::get<DrawLine>(d[92]), (DrawLine{658, 216, 658, 270, 1, {50, 50, 255}, false}));
    EXPECT_EQ(std::get<DrawLine>(d[93]), (DrawLine{658, 270, 700, 270, 1, {50, 50, 255}, false}));

    const struct {
        int x, y;
        const char* text;
        int size;
        bool bold;
        Rgb colour;
    } texts[] = {
        {705, 254, "43.8", 24, true, {128, 0, 0}},
        {732, 235, "下垂角", 10, false, {}},
        {703, 0, "43.8", 24, true, {100, 100, 255}},
        {733, 38, "信号角", 10, false, {}},
        {8, 256, "1.5", 20, true, {128, 0, 0}},
        {4, 4, "181.5", 18, true, {100, 100, 255}},
        {4, 235, "南偏西", 11, false, {}},
        {7, 37, "方位角", 10, false, {}},
        {365, 68, "12:06", 12, true, {255, 0, 0}},
        {224, 5, "12点整", 19, true, {128, 0, 0}},
        {243, 37, "时针指向", 10, false, {}},
        {469, 254, "-1.1", 24, true, {100, 100, 255}},
        {225, 259, "左上45°", 16, true, {128, 0, 0}},
        {487, 237, "极化角", 10, false, {}},
        {236, 236, "电路盒方向", 10, false, {}},
        {466, 6, " C", 8, false, {}},
        {466, 18, "Ku", 8, false, {}},
        {545, 6, "36", 8, false, {}},
        {545, 18, "48", 8, false, {}},
    };
    const std::vector<DrawText> drawn = r.texts();
    ASSERT_EQ(drawn.size(), std::size(texts));
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const auto& e = texts[i];
        EXPECT_EQ(drawn[i], (DrawText{e.x, e.y, e.text, e.size, e.bold, e.colour})) << "text " << i;
    }
    // The two frames and bars close the list: C 36 is weak, Ku 48 medium.
    ASSERT_GE(d.size(), 4u);
    EXPECT_EQ(std::get<DrawRoundedRect>(d[d.size() - 4]),
              (DrawRoundedRect{480, 7, 542, 16, 1, {0, 0, 0}}));
    EXPECT_EQ(std::get<DrawLine>(d[d.size() - 2]),
              (DrawLine{484, 11, 499, 11, 5, {255, 50, 50}, false}));
    EXPECT_EQ(std::get<DrawLine>(d[d.size() - 1]),
              (DrawLine{484, 23, 515, 23, 5, {100, 100, 255}, false}));
}

TEST(DiagramPlan, OffsetDishDrawsTheSignalLineAndTheDroop) {
    PlannedRun r("116.46", "39.92", "E115.5(a)", FeedType::Offset, Mounting::Inverted, 2275);
    r.run();
    const Drawings& d = r.planner.drawings();
    // theta = 360 - 43.8 rounded = 316.
    EXPECT_EQ(std::get<DrawLine>(d[0]), (DrawLine{632, 142, 696, 80, 3, {255, 255, 0}, true}));
    EXPECT_EQ(std::get<DrawLine>(d[1]), (DrawLine{632, 142, 644, 129, 5, {255, 255, 255}, true}));
    // Inverted: f = 46 - 22.75, truncated to 23; the fan runs from 23 to 90.
    EXPECT_EQ(r.count<DrawPixel>(), 68u);
    EXPECT_EQ(r.textAt(705, 254).value_or(DrawText{}).text, "66.6");
    EXPECT_EQ(r.textAt(241, 236).value_or(DrawText{}).text, "Ｆ头方向");
    EXPECT_EQ(r.textAt(225, 259).value_or(DrawText{}).text, "右下45°");
}

TEST(DiagramPlan, TextPadding) {
    struct Case {
        const char* polarisation;
        const char* drawn;
    };
    const Case cases[] = {{"5", "  5"},    {"0", "  0"},     {"-5", " -5"},
                          {"-50", " -50"}, {"-1.1", "-1.1"}, {"-30.6", "-30.6"}};
    for (const Case& c : cases) {
        TextInputs inputs;
        PointingResult result;
        result.polarisation = labelOf(c.polarisation);
        Drawings out;
        drawPolarisationTexts({readInputs(inputs), result, {}, {}}, out);
        EXPECT_EQ(std::get<DrawText>(out[0]).text, c.drawn) << c.polarisation;
    }
    // The feed direction stands further right the shorter it is.
    const struct {
        double polarisation;
        int x;
    } directions[] = {{45, 231}, {-45, 231}, {3, 225}, {-3, 225}, {20, 221}, {-60, 221}};
    for (const auto& d : directions) {
        TextInputs inputs;
        PointingResult result;
        result.polarisation = ResultAngle::of(d.polarisation);
        result.lnbDirection = lnbDirectionOf(d.polarisation, FeedType::PrimeFocus);
        Drawings out;
        drawPolarisationTexts({readInputs(inputs), result, {}, {}}, out);
        EXPECT_EQ(std::get<DrawText>(out[1]).x, d.x) << result.lnbDirection;
    }
    TextInputs inputs;
    inputs.declinationCorrection = true;
    PointingResult result;
    result.southOffset = "5";
    result.compassText = "175";
    Drawings out;
    drawBearingTexts({readInputs(inputs), result, "11:48", {}}, out);
    EXPECT_EQ(std::get<DrawText>(out[0]).text, " 5");
    EXPECT_EQ(std::get<DrawText>(out[1]).text, " 175");
    EXPECT_EQ(std::get<DrawText>(out[3]).text, "指北针");
}

TEST(DiagramPlan, NegativeDroopIsDrawnSmaller) {
    TextInputs inputs;
    inputs.feed = FeedType::Offset;
    PointingResult result;
    result.elevation = labelOf("10");
    result.droopAngle = "-12.7";
    result.droop = -12.7;
    result.signedOffset = 2275;
    Drawings out;
    drawElevation({readInputs(inputs), result, {}, {}}, out);
    bool found = false;
    for (const Drawing& d : out) {
        if (const auto* t = std::get_if<DrawText>(&d); t && t->text == "-12.7") {
            EXPECT_EQ(t->x, 701);
            EXPECT_EQ(t->y, 256);
            EXPECT_EQ(t->size, 20);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST(DiagramPlan, SignalBars) {
    struct Case {
        SignalReading signal;
        std::size_t drawings;
        int cEnd; // 0: no C bar
        Rgb cColour;
    };
    const Case cases[] = {
        {{-1, -1}, 1, 0, {}},
        {{0, 0}, 6, 0, {}},
        {{30, 0}, 7, 484, {255, 50, 50}},
        {{25, 0}, 7, 470, {255, 50, 50}},
        {{41, 0}, 7, 513, {100, 100, 255}},
        {{42, 50}, 8, 515, {50, 255, 50}},
    };
    for (const Case& c : cases) {
        TextInputs inputs;
        PointingResult result;
        Drawings out;
        drawSignal({readInputs(inputs), result, {}, c.signal}, out);
        ASSERT_EQ(out.size(), c.drawings) << c.signal.cStrength;
        if (!c.signal.known()) {
            EXPECT_EQ(std::get<DrawText>(out[0]),
                      (DrawText{500, 12, "未知", 10, false, {128, 0, 0}}));
        } else if (c.cEnd) {
            const auto& bar = std::get<DrawLine>(out[6]);
            EXPECT_EQ(bar.x2, c.cEnd) << c.signal.cStrength;
            EXPECT_EQ(bar.colour, c.cColour) << c.signal.cStrength;
        }
    }
}

TEST(SpriteTurning, StepsEveryTenMillisecondsWithinTheLimit) {
    const SpriteTurn forward{1, 85, 4000};
    EXPECT_EQ(turnedAngle(0, forward, 0), 0);
    EXPECT_EQ(turnedAngle(0, forward, 9), 0);
    EXPECT_EQ(turnedAngle(0, forward, 10), 1);
    EXPECT_EQ(turnedAngle(0, forward, 425), 42);
    EXPECT_EQ(turnedAngle(0, forward, 10000), 85);
    EXPECT_FALSE(turnFinished(forward, 840));
    EXPECT_TRUE(turnFinished(forward, 850));

    const SpriteTurn back{-1, 85, 4000};
    EXPECT_EQ(turnedAngle(0, back, 10), 359); // wraps below 0
    EXPECT_EQ(turnedAngle(0, back, 850), 275);

    // The limit stops a long turn unfinished.
    const SpriteTurn slow{1, 350, 3000};
    EXPECT_EQ(turnedAngle(0, slow, 5000), 300);
    EXPECT_TRUE(turnFinished(slow, 3000));
    EXPECT_TRUE(turnFinished(SpriteTurn{0, 0, 4000}, 0));
}

} // namespace
} // namespace zorvast::pointing
