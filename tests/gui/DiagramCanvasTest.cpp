// The diagram canvas painting pointing runs, offscreen: the sprites turn on an injected clock
// that the canvas's own timer reads; the test looks at the angles reached and at the picture.
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/Messages.h"
#include "pointing/run/PointingRun.h"

#include "support/PointingTexts.h"
#include "support/UserInput.h"

#include <QTest>

using namespace zorvast;
using namespace zorvast::pointing;
using pointing::ui::DiagramCanvas;
using testing::gui::picture;

namespace {

// Longer than any turn may take.
constexpr std::int64_t kLongAfter = 1'000'000;

// Where a sprite's picture lies on the canvas.
QRect spriteArea(SpriteId id) {
    const SpriteSetup& setup = spriteSetups()[indexOf(id)];
    return {setup.left, setup.top, setup.side, setup.side};
}

QRgb rgbOf(const Rgb& colour) {
    return qRgb(colour.r, colour.g, colour.b);
}

int pixelsOf(const QImage& image, const QRect& area, QRgb colour) {
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += (image.pixel(x, y) & RGB_MASK) == (colour & RGB_MASK) ? 1 : 0;
        }
    }
    return count;
}

// Beijing's strengths on the second satellite: 36 dBW C and 48 dBW Ku in its box.
constexpr const char* kBeijingC = "383600404142";
constexpr const char* kBeijingKu = "004800515052";

struct Canvas {
    std::int64_t now = 1000;
    DiagramCanvas canvas{nullptr, [this] {
                             return now;
                         }};
    PointingResult result;
    // The last run planned on its own: where it draws, and where its turns end.
    DiagramPlanner planned;
    SpriteStates ended;

    Canvas() {
        canvas.createSprites();
        ended = canvas.spriteStates();
    }

    void run(const char* lon, const char* lat, const char* satellite,
             FeedType feed = FeedType::PrimeFocus, Mounting mounting = Mounting::Upright,
             const char* sC = "", const char* sKu = "") {
        TextInputs inputs;
        inputs.longitudeText = lon;
        inputs.latitudeText = lat;
        inputs.satelliteText = satellite;
        inputs.feed = feed;
        inputs.mounting = mounting;
        inputs.antennaOffset = feed == FeedType::Offset ? 2275 : 0;
        inputs.sC = sC;
        inputs.sKu = sKu;

        PointingResult plannedResult = result;
        planned.setSpriteStates(canvas.spriteStates());
        runPointing(inputs, "", plannedResult, &planned);
        const SpritePlan& plan = planned.spritePlan();
        for (std::size_t i = 0; i < kSpriteCount; ++i) {
            ended[i] = plan.states[i];
            if (plan.turns[i]) {
                ended[i].angle = turnedAngle(plan.states[i].angle, *plan.turns[i], kLongAfter);
            }
        }
        runPointing(inputs, "", result, &canvas);
    }
    int angle(SpriteId id) const { return canvas.spriteStates()[indexOf(id)].angle; }
    bool visible(SpriteId id) const { return canvas.spriteStates()[indexOf(id)].visible; }
    // Moves the clock on; the canvas's timer catches up by itself.
    void after(std::int64_t ms) { now += ms; }
    // Lets every turn end and waits until the canvas shows them ended (runs started from a
    // settled canvas only).
    bool settle() {
        now += kLongAfter;
        return QTest::qWaitFor([this] { return canvas.spriteStates() == ended; });
    }
    QImage shown() { return picture(&canvas); }

    // The places the last run writes `text`, with the text's size and colour.
    std::vector<DrawText> drawn(std::string_view text) const {
        std::vector<DrawText> found;
        for (const Drawing& d : planned.drawings()) {
            if (const auto* t = std::get_if<DrawText>(&d); t && t->text == text) {
                found.push_back(*t);
            }
        }
        return found;
    }
    // The frames of the signal bars, and the bars drawn inside them.
    QRect signalArea() const {
        QRect area;
        for (const Drawing& d : planned.drawings()) {
            if (const auto* frame = std::get_if<DrawRoundedRect>(&d)) {
                area |= QRect(QPoint(frame->x1, frame->y1), QPoint(frame->x2, frame->y2));
            }
        }
        return area;
    }
    std::vector<DrawLine> bars() const {
        std::vector<DrawLine> found;
        const QRect area = signalArea();
        for (const Drawing& d : planned.drawings()) {
            if (const auto* line = std::get_if<DrawLine>(&d);
                line && area.contains(line->x1, line->y1)) {
                found.push_back(*line);
            }
        }
        return found;
    }
};

} // namespace

class DiagramCanvasTest : public QObject {
    Q_OBJECT
private slots:
    void spritesAreCreatedOnce() {
        DiagramCanvas bare(nullptr, [] { return std::int64_t{0}; });
        QCOMPARE(bare.size(), QSize(kDiagramWidth, kDiagramHeight));
        const QImage empty = picture(&bare);
        bare.createSprites();
        QVERIFY(picture(&bare) != empty); // the background is there
        QVERIFY(bare.spriteStates() == initialSpriteStates());

        Canvas c;
        c.run("87.6", "43.8", "E134(c)");
        QVERIFY(c.settle());
        const SpriteStates turned = c.canvas.spriteStates();
        const QImage picture = c.shown();
        QVERIFY(c.angle(SpriteId::DishTopPrime) != 0);
        c.canvas.createSprites(); // a second call keeps the angles
        QVERIFY(c.canvas.spriteStates() == turned);
        QCOMPARE(c.shown(), picture);
    }

    void turnsStepOneDegreeEveryTenMilliseconds() {
        Canvas c;
        c.run("87.6", "43.8", "E134(c)"); // bearing 123.4: 57 degrees back from 180
        const QImage atStart = c.shown();
        c.after(100);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 350);
        QCOMPARE(c.angle(SpriteId::HourHand), 350);
        QVERIFY(c.shown() != atStart);
        c.after(1000);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 303); // 123 shown
        QCOMPARE(c.angle(SpriteId::DishTopOffset), 303);
        // Elevation 21.8: the side view turns from 226 (44) to 248 (22).
        QCOMPARE(c.angle(SpriteId::DishSidePrime), 248);
        // Polarisation 37.1: the feed turns to 37.
        QCOMPARE(c.angle(SpriteId::FeedPrime), 37);
        QVERIFY(c.canvas.spriteStates() == c.ended);
    }

    void aNewTurnStartsWhereTheLastGotTo() {
        Canvas c;
        c.run("87.6", "43.8", "E134(c)");
        c.after(200); // 20 degrees of 57 done
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 340);
        c.run("116.4", "39.9", "E115.5(a)"); // back to 181.4
        // From 340 (bearing 160) to 181: 21 degrees forward.
        c.after(100);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 350);
        c.after(5000);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 1);
    }

    void theTimeLimitEndsALongTurn() {
        Canvas c;
        c.run("75", "40", "E160(far)"); // bearing 93.2 from 180: 87 back, no elevation
        QVERIFY(!c.visible(SpriteId::DishSidePrime));
        c.after(300);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 330);
        c.after(100000);
        QTRY_COMPARE(c.angle(SpriteId::DishTopPrime), 273);
    }

    void theOffsetSideViewIsMirroredWhenInverted() {
        Canvas c;
        c.run("116.46", "39.92", "E115.5(a)", FeedType::Offset, Mounting::Inverted);
        QVERIFY(c.canvas.spriteStates()[indexOf(SpriteId::DishSideOffset)].mirrored);
        QVERIFY(!c.visible(SpriteId::FeedPrime));
        QVERIFY(c.visible(SpriteId::FeedOffset));
        c.after(10000);
        QTRY_COMPARE(c.angle(SpriteId::DishSideOffset), 203); // 203 + 23 shows 44
        // It paints at its own size, and the side view shows the dish the other way round.
        const QImage inverted = c.shown();
        QCOMPARE(inverted.size(), QSize(kDiagramWidth, kDiagramHeight));
        Canvas upright;
        upright.run("116.46", "39.92", "E115.5(a)", FeedType::Offset, Mounting::Upright);
        QVERIFY(upright.settle());
        QVERIFY(!upright.canvas.spriteStates()[indexOf(SpriteId::DishSideOffset)].mirrored);
        const QRect side = spriteArea(SpriteId::DishSideOffset);
        QVERIFY(upright.shown().copy(side) != inverted.copy(side));
    }

    void thePictureFollowsTheInput() {
        Canvas beijing;
        beijing.run("116.46", "39.92", "E115.5(a)");
        QVERIFY(beijing.settle());
        Canvas other;
        other.run("87.6", "43.8", "E134(c)");
        QVERIFY(other.settle());
        QVERIFY(other.shown() != beijing.shown());
        // The same input ends in the same picture, whatever was shown before.
        other.run("116.46", "39.92", "E115.5(a)");
        QVERIFY(other.settle());
        QCOMPARE(other.shown(), beijing.shown());
    }

    void theCompassAndTheWatchTurnWithTheAzimuth() {
        Canvas c;
        c.run("116.46", "39.92", "E115.5(a)"); // 181.5
        QVERIFY(c.settle());
        const QImage south = c.shown();
        c.run("116.46", "39.92", "E100.5(b)"); // 204
        QVERIFY(c.settle());
        const QImage west = c.shown();
        for (SpriteId id : {SpriteId::DishTopPrime, SpriteId::HourHand}) {
            const QRect area = spriteArea(id);
            QVERIFY2(south.copy(area) != west.copy(area),
                     QByteArray::number(static_cast<int>(indexOf(id))).constData());
        }
    }

    void theSideViewFollowsTheElevation() {
        Canvas c;
        c.run("116.46", "39.92", "E115.5(a)"); // 43.8
        QVERIFY(c.settle());
        const QImage high = c.shown();
        const int highAngle = c.angle(SpriteId::DishSidePrime);
        c.run("87.6", "43.8", "E134(c)"); // 21.8
        QVERIFY(c.settle());
        QCOMPARE(c.angle(SpriteId::DishSidePrime) - highAngle, 22); // the dish tips down
        const QRect side = spriteArea(SpriteId::DishSidePrime);
        QVERIFY(c.shown().copy(side) != high.copy(side));
    }

    void theSignalBarsShowTheCoverage() {
        Canvas covered;
        covered.run("116.46", "39.92", "E115.5(a)", FeedType::PrimeFocus, Mounting::Upright,
                    kBeijingC, kBeijingKu);
        Canvas none; // the satellite's box holds nothing for Beijing
        none.run("116.46", "39.92", "E115.5(a)", FeedType::PrimeFocus, Mounting::Upright,
                 "380000404142", "000000515052");
        Canvas unknown; // a site in no box of the coverage
        unknown.run("140", "35", "E115.5(a)", FeedType::PrimeFocus, Mounting::Upright, kBeijingC,
                    kBeijingKu);

        const QRect area = covered.signalArea();
        QVERIFY(!area.isEmpty());
        QCOMPARE(none.signalArea(), area);
        const QImage coveredPicture = covered.shown();
        QVERIFY(coveredPicture.copy(area) != none.shown().copy(area));
        QVERIFY(none.shown().copy(area) != unknown.shown().copy(area));

        // Each bar in the colour of its strength; none without a strength.
        const std::vector<DrawLine> bars = covered.bars();
        QCOMPARE(bars.size(), std::size_t{2});
        QVERIFY(bars[0].colour != bars[1].colour); // C 36 is weak, Ku 48 medium
        for (const DrawLine& bar : bars) {
            QVERIFY(pixelsOf(coveredPicture, area, rgbOf(bar.colour)) > 0);
            QCOMPARE(pixelsOf(none.shown(), area, rgbOf(bar.colour)), 0);
        }
        QVERIFY(none.bars().empty());
        QVERIFY(unknown.drawn(kUnknownCoverageMark).size() == 1);
    }

    void aSatelliteOutOfSightIsMarkedInDarkRed() {
        const struct {
            const char* lon;
            const char* lat;
            const char* satellite;
            std::size_t marks;
        } cases[] = {
            {"75", "40", "E160(far)", 1},  // below the horizon
            {"150", "40", "E60(west)", 2}, // neither azimuth nor elevation
        };
        Canvas inSight;
        inSight.run("116.46", "39.92", "E115.5(a)");
        QVERIFY(inSight.settle());
        QVERIFY(inSight.drawn(kNoCoverageMark).empty());
        for (const auto& c : cases) {
            Canvas out;
            out.run(c.lon, c.lat, c.satellite);
            QVERIFY(out.settle());
            const std::vector<DrawText> marks = out.drawn(kNoCoverageMark);
            QCOMPARE(marks.size(), c.marks);
            for (const DrawText& mark : marks) {
                // The start of the mark, wherever the plan puts it.
                const QRect glyph(mark.x, mark.y, 2 * mark.size, 2 * mark.size);
                QVERIFY2(pixelsOf(out.shown(), glyph, rgbOf(mark.colour)) > 5, c.satellite);
                QCOMPARE(pixelsOf(inSight.shown(), glyph, rgbOf(mark.colour)), 0);
            }
        }
    }
};

QTEST_MAIN(DiagramCanvasTest)
#include "DiagramCanvasTest.moc"
