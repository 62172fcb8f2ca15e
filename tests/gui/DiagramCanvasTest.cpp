// The diagram canvas turning its sprites on an injected clock, offscreen.
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/run/PointingRun.h"

#include "support/PointingTexts.h"

#include <QTest>

using namespace zorvast;
using namespace zorvast::pointing;
using pointing::ui::DiagramCanvas;

namespace {

struct Canvas {
    std::int64_t now = 1000;
    DiagramCanvas canvas{nullptr, [this] {
                             return now;
                         }};
    PointingResult result;

    Canvas() { canvas.createSprites(); }

    void run(const char* lon, const char* lat, const char* satellite,
             FeedType feed = FeedType::PrimeFocus, Mounting mounting = Mounting::Upright) {
        TextInputs inputs;
        inputs.longitudeText = lon;
        inputs.latitudeText = lat;
        inputs.satelliteText = satellite;
        inputs.feed = feed;
        inputs.mounting = mounting;
        inputs.antennaOffset = feed == FeedType::Offset ? 2275 : 0;
        runPointing(inputs, "", result, &canvas);
    }
    int angle(SpriteId id) const { return canvas.spriteStates()[indexOf(id)].angle; }
    bool visible(SpriteId id) const { return canvas.spriteStates()[indexOf(id)].visible; }
    void after(std::int64_t ms) {
        now += ms;
        canvas.advanceTurns();
    }
};

} // namespace

class DiagramCanvasTest : public QObject {
    Q_OBJECT
private slots:
    void spritesAreCreatedOnce() {
        Canvas c;
        QCOMPARE(c.canvas.size(), QSize(777, 288));
        QVERIFY(c.canvas.spritesCreated());
        QCOMPARE(c.angle(SpriteId::DishSidePrime), 226);
        c.run("87.6", "43.8", "E134(c)");
        c.after(10000);
        c.canvas.createSprites(); // a second call keeps the angles
        QVERIFY(c.angle(SpriteId::DishTopPrime) != 0);
    }

    void turnsStepOneDegreeEveryTenMilliseconds() {
        Canvas c;
        c.run("87.6", "43.8", "E134(c)"); // bearing 123.4: 57 degrees back from 180
        QCOMPARE(c.canvas.turns()[indexOf(SpriteId::DishTopPrime)], (SpriteTurn{-1, 57, 4000}));
        QVERIFY(c.canvas.turning());
        c.after(100);
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 350);
        QCOMPARE(c.angle(SpriteId::HourHand), 350);
        c.after(1000);
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 303); // 123 shown
        QCOMPARE(c.angle(SpriteId::DishTopOffset), 303);
        // Elevation 21.8: the side view turns from 226 (44) to 248 (22).
        QCOMPARE(c.angle(SpriteId::DishSidePrime), 248);
        // Polarisation 37.1: the feed turns to 37.
        QCOMPARE(c.angle(SpriteId::FeedPrime), 37);
        QVERIFY(!c.canvas.turning());
    }

    void aNewTurnStartsWhereTheLastGotTo() {
        Canvas c;
        c.run("87.6", "43.8", "E134(c)");
        c.after(200); // 20 degrees of 57 done
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 340);
        c.run("116.4", "39.9", "E115.5(a)"); // back to 181.4
        // From 340 (bearing 160) to 181: 21 degrees forward.
        QCOMPARE(c.canvas.turns()[indexOf(SpriteId::DishTopPrime)], (SpriteTurn{1, 21, 4000}));
        c.after(5000);
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 1);
    }

    void theTimeLimitEndsALongTurn() {
        Canvas c;
        c.run("75", "40", "E160(far)"); // bearing 93.2 from 180: 87 back, no elevation
        QVERIFY(!c.visible(SpriteId::DishSidePrime));
        c.after(300);
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 330);
        c.after(100000);
        QCOMPARE(c.angle(SpriteId::DishTopPrime), 273);
        QVERIFY(!c.canvas.turning());
        // The feed's limit is 3 seconds: 300 steps at most.
        QCOMPARE(c.canvas.turns()[indexOf(SpriteId::FeedPrime)].timeLimitMs, 3000);
    }

    void theOffsetSideViewIsMirroredWhenInverted() {
        Canvas c;
        c.run("116.46", "39.92", "E115.5(a)", FeedType::Offset, Mounting::Inverted);
        QVERIFY(c.canvas.spriteStates()[indexOf(SpriteId::DishSideOffset)].mirrored);
        QVERIFY(!c.visible(SpriteId::FeedPrime));
        QVERIFY(c.visible(SpriteId::FeedOffset));
        c.after(10000);
        QCOMPARE(c.angle(SpriteId::DishSideOffset), 203); // 203 + 23 shows 44
        // It paints at its own size.
        const QImage picture = c.canvas.grab().toImage();
        QCOMPARE(picture.size(), QSize(777, 288));
    }
};

QTEST_MAIN(DiagramCanvasTest)
#include "DiagramCanvasTest.moc"
