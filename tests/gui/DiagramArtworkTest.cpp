// The pointing diagram's pictures: sizes and places as the diagram plan has them, transparency,
// and the orientations the diagram's turning relies on. Positions inside a picture are taken
// from its side, never fixed pixels.
#include "pointing/ui/DiagramArtwork.h"

#include <QImage>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <functional>

using namespace zorvast::pointing;
using namespace zorvast::pointing::ui;

Q_DECLARE_METATYPE(std::function<QImage()>)

namespace {

int alphaAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

// Pixels with alpha above the threshold inside the rectangle [x0, x1) x [y0, y1).
int opaqueCount(const QImage& image, int x0, int y0, int x1, int y1, int threshold = 128) {
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (alphaAt(image, x, y) > threshold) {
                ++count;
            }
        }
    }
    return count;
}

QByteArray describe(const char* what, long long got, const char* expected) {
    return QByteArray(what) + ": got " + QByteArray::number(got) + ", expected " + expected;
}

int sideOf(SpriteId id) {
    return spriteSetups()[indexOf(id)].side;
}

// How far from the centre the picture is opaque along a direction (dx, dy in -1..1).
int reach(const QImage& image, int dx, int dy) {
    const double centre = image.width() / 2.0;
    int farthest = 0;
    for (int k = 0;; ++k) {
        const int x = static_cast<int>(centre + dx * k);
        const int y = static_cast<int>(centre + dy * k);
        if (!image.rect().contains(x, y)) {
            return farthest;
        }
        if (alphaAt(image, x, y) > 128) {
            farthest = k;
        }
    }
}

} // namespace

class DiagramArtworkTest : public QObject {
    Q_OBJECT
private slots:
    void spritesHaveTheirSizeAndStayInsideTheirCircle_data();
    void spritesHaveTheirSizeAndStayInsideTheirCircle();
    void spritesTurnAboutTheCentresOfTheirDials();
    void backgroundIsOpaqueAtCanvasSize();
    void hourHandPointsUpFromThePivot();
    void primeDishIsSymmetricWithTheFeedBelow();
    void offsetDishTopLooksDown();
    void offsetDishSideHangsItsLnbOnTheLowerRimSide();
    void primeFeedCircuitBoxPointsUpLeft();
    void offsetLnbConnectorPointsDownRight();
};

void DiagramArtworkTest::spritesHaveTheirSizeAndStayInsideTheirCircle_data() {
    QTest::addColumn<std::function<QImage()>>("make");
    QTest::addColumn<int>("sprite");

    const auto row = [](const char* name, QImage (*make)(), SpriteId id) {
        QTest::newRow(name) << std::function<QImage()>(make) << static_cast<int>(indexOf(id));
    };
    row("prime dish top", primeDishPicture, SpriteId::DishTopPrime);
    row("prime dish side", primeDishPicture, SpriteId::DishSidePrime);
    row("offset dish top", offsetDishTopPicture, SpriteId::DishTopOffset);
    row("offset dish side", offsetDishSidePicture, SpriteId::DishSideOffset);
    row("prime feed", primeFeedPicture, SpriteId::FeedPrime);
    row("offset LNB", offsetLnbPicture, SpriteId::FeedOffset);
    row("hour hand", hourHandPicture, SpriteId::HourHand);
}

void DiagramArtworkTest::spritesHaveTheirSizeAndStayInsideTheirCircle() {
    QFETCH(std::function<QImage()>, make);
    QFETCH(int, sprite);
    const int side = spriteSetups()[static_cast<std::size_t>(sprite)].side;

    const QImage image = make();
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    // Turned to any angle, the picture never shows a corner: nothing lies outside its circle.
    const double centre = side / 2.0;
    int outside = 0;
    int solid = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int alpha = alphaAt(image, x, y);
            if (alpha > 0 && std::hypot(x + 0.5 - centre, y + 0.5 - centre) > centre) {
                ++outside;
            }
            solid += alpha == 255 ? 1 : 0;
        }
    }
    QVERIFY2(outside == 0, describe("pixels outside the circle", outside, "0").constData());
    // And there is something to see: more solid pixels than a line across the picture.
    QVERIFY2(solid > side, describe("solid pixels", solid, "more than the side").constData());
}

void DiagramArtworkTest::spritesTurnAboutTheCentresOfTheirDials() {
    const struct {
        SpriteId id;
        double x;
        double y;
    } dials[] = {
        {SpriteId::DishTopPrime, artwork::kCompassX, artwork::kCompassY},
        {SpriteId::DishTopOffset, artwork::kCompassX, artwork::kCompassY},
        {SpriteId::HourHand, artwork::kWatchX, artwork::kWatchY},
        {SpriteId::FeedPrime, artwork::kFeedPlateX, artwork::kFeedPlateY},
        {SpriteId::FeedOffset, artwork::kFeedPlateX, artwork::kFeedPlateY},
        {SpriteId::DishSidePrime, artwork::kSidePivotX, artwork::kSidePivotY},
        {SpriteId::DishSideOffset, artwork::kSidePivotX, artwork::kSidePivotY},
    };
    for (const auto& dial : dials) {
        const SpriteSetup& setup = spriteSetups()[indexOf(dial.id)];
        const double x = setup.left + setup.side / 2.0;
        const double y = setup.top + setup.side / 2.0;
        const double off = std::hypot(x - dial.x, y - dial.y);
        QVERIFY2(off <= 2.5, describe("sprite centre off its dial, tenths of a pixel",
                                      std::lround(off * 10), "at most 25")
                                 .constData());
    }
}

void DiagramArtworkTest::backgroundIsOpaqueAtCanvasSize() {
    const QImage image = diagramBackground();
    QCOMPARE(image.size(), QSize(kDiagramWidth, kDiagramHeight));
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    int translucent = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (alphaAt(image, x, y) != 255) {
                if (translucent++ == 0) {
                    first = QPoint(x, y);
                }
            }
        }
    }
    QVERIFY2(translucent == 0,
             (describe("translucent pixels", translucent, "0") + " (first at " +
              QByteArray::number(first.x()) + "," + QByteArray::number(first.y()) + ")")
                 .constData());
}

void DiagramArtworkTest::hourHandPointsUpFromThePivot() {
    const QImage hand = hourHandPicture();
    const int side = sideOf(SpriteId::HourHand);
    const double pivot = side / 2.0;
    const int middle = static_cast<int>(pivot);
    // The hand rises from the pivot along the middle columns, well into the watch face but
    // short of its edge.
    int top = -1;
    for (int y = 0; y <= middle && top < 0; ++y) {
        if (opaqueCount(hand, middle - 2, y, middle + 3, y + 1) > 0) {
            top = y;
        }
    }
    QVERIFY2(top >= 0, "no opaque pixel above the pivot");
    const double length = pivot - top;
    QVERIFY2(length > artwork::kWatchRadius * 0.7 && length < artwork::kWatchRadius,
             describe("hand length", std::lround(length), "within the watch face").constData());
    const int halfway = static_cast<int>(pivot - length / 2);
    QVERIFY2(alphaAt(hand, middle, halfway) == 255,
             describe("alpha halfway along the hand", alphaAt(hand, middle, halfway), "255")
                 .constData());

    // Nothing below the pivot beyond the hub, and nothing to either side beyond it.
    const int below = static_cast<int>(pivot + artwork::kHourHandHubRadius + 2.0);
    const int underneath = opaqueCount(hand, 0, below, side, side, 0);
    QVERIFY2(underneath == 0, describe("pixels below the hub", underneath, "0").constData());
    const double halfWidth = artwork::kHourHandHubRadius + 3.0;
    const int left = static_cast<int>(std::floor(pivot - halfWidth));
    const int right = static_cast<int>(std::ceil(pivot + halfWidth));
    const int beside =
        opaqueCount(hand, 0, 0, left, side, 0) + opaqueCount(hand, right, 0, side, side, 0);
    QVERIFY2(beside == 0, describe("pixels beside the hand", beside, "0").constData());
}

void DiagramArtworkTest::primeDishIsSymmetricWithTheFeedBelow() {
    const QImage dish = primeDishPicture();
    const int side = sideOf(SpriteId::DishTopPrime);
    const int centre = side / 2;
    int worst = 0;
    QPoint at;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < centre; ++x) {
            const int d = std::abs(alphaAt(dish, x, y) - alphaAt(dish, side - 1 - x, y));
            if (d > worst) {
                worst = d;
                at = QPoint(x, y);
            }
        }
    }
    QVERIFY2(worst <= 8, (describe("largest mirrored alpha difference", worst, "at most 8") +
                          " at " + QByteArray::number(at.x()) + "," + QByteArray::number(at.y()))
                             .constData());

    // Along the axis the feed reaches much farther forward (down) than the bowl reaches back.
    const int forward = reach(dish, 0, 1);
    const int backward = reach(dish, 0, -1);
    QVERIFY2(
        forward > side / 4,
        describe("feed reach below the centre", forward, "> a quarter of the side").constData());
    QVERIFY2(forward > backward * 3 / 2, (describe("feed reach", forward, "> 1.5 x bowl reach") +
                                          ", bowl " + QByteArray::number(backward))
                                             .constData());
    const int axis = side / 30;
    const int farAbove = opaqueCount(dish, centre - axis, 0, centre + axis, centre - side / 4);
    QVERIFY2(farAbove == 0,
             describe("axis pixels far above the centre", farAbove, "0").constData());
    QVERIFY2(opaqueCount(dish, centre - axis, centre + side / 4, centre + axis, side) > 20,
             "no feed far below the centre");
}

void DiagramArtworkTest::offsetDishTopLooksDown() {
    const QImage dish = offsetDishTopPicture();
    const int side = sideOf(SpriteId::DishTopOffset);
    const int centre = side / 2;
    const int band = side / 18;
    const int front = opaqueCount(dish, centre - band, side * 2 / 3, centre + band, side);
    const int back = opaqueCount(dish, centre - band, 0, centre + band, side / 6);
    QVERIFY2(front > 50, describe("LNB pixels toward the bottom", front, "> 50").constData());
    QVERIFY2(back == 0, describe("pixels near the top edge", back, "0").constData());
    QVERIFY2(reach(dish, 0, 1) > reach(dish, 0, -1), "the LNB should reach farther than the back");
}

void DiagramArtworkTest::offsetDishSideHangsItsLnbOnTheLowerRimSide() {
    // In front of the aperture (below it, clear of the rim) the arm and LNB stay on the -x side.
    const QImage dish = offsetDishSidePicture();
    const int side = sideOf(SpriteId::DishSideOffset);
    const int centre = side / 2;
    const int inFront = centre + side / 9;
    const int lowerRimSide = opaqueCount(dish, 0, inFront, centre, side);
    const int otherSide = opaqueCount(dish, centre, inFront, side, side);
    QVERIFY2(lowerRimSide > 200,
             describe("pixels in front, -x side", lowerRimSide, "> 200").constData());
    QVERIFY2(otherSide == 0, describe("pixels in front, +x side", otherSide, "0").constData());
}

void DiagramArtworkTest::primeFeedCircuitBoxPointsUpLeft() {
    const QImage feed = primeFeedPicture();
    const int side = sideOf(SpriteId::FeedPrime);
    const int centre = side / 2;
    const int upLeft = opaqueCount(feed, 0, 0, centre, centre);
    const int downRight = opaqueCount(feed, centre + 1, centre + 1, side, side);
    QVERIFY2(upLeft > downRight * 3 / 2, (describe("up-left pixels", upLeft, "> 1.5 x down-right") +
                                          ", down-right " + QByteArray::number(downRight))
                                             .constData());
    // The box stands out of the horn up-left; nothing does down-right.
    const int boxReach = reach(feed, -1, -1);
    const int otherReach = reach(feed, 1, 1);
    QVERIFY2(boxReach > otherReach * 3 / 2,
             (describe("reach up-left", boxReach, "> 1.5 x reach down-right") + ", down-right " +
              QByteArray::number(otherReach))
                 .constData());
}

void DiagramArtworkTest::offsetLnbConnectorPointsDownRight() {
    const QImage lnb = offsetLnbPicture();
    const int side = sideOf(SpriteId::FeedOffset);
    const int centre = side / 2;
    const int upLeft = opaqueCount(lnb, 0, 0, centre, centre);
    const int downRight = opaqueCount(lnb, centre + 1, centre + 1, side, side);
    QVERIFY2(downRight > upLeft * 3 / 2,
             (describe("down-right pixels", downRight, "> 1.5 x up-left") + ", up-left " +
              QByteArray::number(upLeft))
                 .constData());
    // The connector stands out of the body down-right; nothing does up-left.
    const int connectorReach = reach(lnb, 1, 1);
    const int otherReach = reach(lnb, -1, -1);
    QVERIFY2(connectorReach > otherReach * 3 / 2,
             (describe("reach down-right", connectorReach, "> 1.5 x reach up-left") + ", up-left " +
              QByteArray::number(otherReach))
                 .constData());
}

QTEST_MAIN(DiagramArtworkTest)
#include "DiagramArtworkTest.moc"
