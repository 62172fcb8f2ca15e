// What one pointing run does to the diagram, as plain data: the sprites' visibility, mirroring,
// angle resets and turns, and the free drawings (lines, pixels, frames, texts) with every
// position and colour. The canvas only renders a plan.
#pragma once

#include "common/Colour.h"
#include "pointing/run/PointingRun.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zorvast::pointing {

inline constexpr int kDiagramWidth = 777;
inline constexpr int kDiagramHeight = 288;

// The sprites' square pictures, sides in pixels.
inline constexpr int kDishSpriteSide = 180;
inline constexpr int kPrimeFeedSpriteSide = 145;
inline constexpr int kOffsetLnbSpriteSide = 97;
inline constexpr int kHourHandSpriteSide = 165;

// The side view turns about this point; the ground lies 90 pixels below it.
inline constexpr int kSidePivotX = 632;
inline constexpr int kSidePivotY = 142;
inline constexpr int kSideGroundY = kSidePivotY + 90;

enum class SpriteId {
    DishTopPrime,
    DishSidePrime,
    DishTopOffset,
    DishSideOffset,
    FeedPrime,
    FeedOffset,
    HourHand,
};
inline constexpr std::size_t kSpriteCount = 7;

constexpr std::size_t indexOf(SpriteId id) {
    return static_cast<std::size_t>(id);
}

// Where a sprite sits and how it starts (its picture is a square of `side` pixels).
struct SpriteSetup {
    SpriteId id;
    int side;
    int left;
    int top;
    int startAngle;
};
const std::array<SpriteSetup, kSpriteCount>& spriteSetups();

struct SpriteState {
    bool visible = false;
    int angle = 0; // 0..359, the angle reached so far during a turn
    bool mirrored = false;
    friend bool operator==(const SpriteState&, const SpriteState&) = default;
};
using SpriteStates = std::array<SpriteState, kSpriteCount>;

// The states a run starts from: visibility, angles and mirroring after creation.
SpriteStates initialSpriteStates();

// One-degree steps every 10 ms; the turn stops after `timeLimitMs` even when unfinished.
struct SpriteTurn {
    int step = 0; // -1, 0 or +1
    int total = 0;
    int timeLimitMs = 0;
    friend bool operator==(const SpriteTurn&, const SpriteTurn&) = default;
};
inline constexpr int kTurnIntervalMs = 10;

struct SpritePlan {
    SpriteStates states; // to apply at once: visibility, angle resets, mirroring
    std::array<std::optional<SpriteTurn>, kSpriteCount> turns;
};

using common::Rgb;

struct DrawLine {
    int x1, y1, x2, y2;
    int width;
    Rgb colour;
    bool dotted;
    friend bool operator==(const DrawLine&, const DrawLine&) = default;
};
struct DrawPixel {
    int x, y;
    Rgb colour;
    friend bool operator==(const DrawPixel&, const DrawPixel&) = default;
};
// Corners rounded with a 5-pixel radius.
struct DrawRoundedRect {
    int x1, y1, x2, y2;
    int width;
    Rgb colour;
    friend bool operator==(const DrawRoundedRect&, const DrawRoundedRect&) = default;
};
// (x, y) is the text's top-left corner.
struct DrawText {
    int x, y;
    std::string text;
    int size;
    bool bold;
    Rgb colour;
    friend bool operator==(const DrawText&, const DrawText&) = default;
};
using Drawing = std::variant<DrawLine, DrawPixel, DrawRoundedRect, DrawText>;
using Drawings = std::vector<Drawing>;

// Run step 9: from the sprites as they are now.
SpritePlan planSprites(const DiagramStep& step, const SpriteStates& current);
// Run steps 10 to 14; each appends its drawings.
void drawElevation(const DiagramStep& step, Drawings& out);
void drawBearingTexts(const DiagramStep& step, Drawings& out);
void drawPolarisationTexts(const DiagramStep& step, Drawings& out);
void drawNoCoverageMarks(const DiagramStep& step, Drawings& out);
void drawSignal(const DiagramStep& step, Drawings& out);

// The angle a sprite has reached `elapsedMs` into a turn that started at `fromAngle`.
int turnedAngle(int fromAngle, const SpriteTurn& turn, std::int64_t elapsedMs);
// True once the turn has no step left to make.
bool turnFinished(const SpriteTurn& turn, std::int64_t elapsedMs);

// A run's whole plan, for a canvas that keeps sprite states of its own.
class DiagramPlanner : public PointingDiagram {
public:
    explicit DiagramPlanner(SpriteStates states = initialSpriteStates()) : states_(states) {}

    void updateSprites(const DiagramStep& step) override;
    void drawElevation(const DiagramStep& step) override;
    void drawBearingTexts(const DiagramStep& step) override;
    void drawPolarisationTexts(const DiagramStep& step) override;
    void drawNoCoverageMarks(const DiagramStep& step) override;
    void drawSignal(const DiagramStep& step) override;

    // The sprites a plan starts from (the canvas's angles, mid-turn ones included).
    void setSpriteStates(const SpriteStates& states) { states_ = states; }
    const SpriteStates& spriteStates() const { return states_; }
    const SpritePlan& spritePlan() const { return sprites_; }
    const Drawings& drawings() const { return drawings_; }

private:
    SpriteStates states_;
    SpritePlan sprites_;
    Drawings drawings_;
};

} // namespace zorvast::pointing
