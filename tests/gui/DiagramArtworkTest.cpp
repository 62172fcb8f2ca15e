// The pointing diagram's pictures: sizes, transparency, and the orientations the diagram's
// turning relies on.
#include "pointing/ui/DiagramArtwork.h"

#include <QImage>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <functional>

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

} // namespace

class DiagramArtworkTest : public QObject {
    Q_OBJECT
private slots:
    void spritesHaveTheirSizeAndClearCorners_data();
    void spritesHaveTheirSizeAndClearCorners();
    void backgroundIsOpaqueAtCanvasSize();
    void hourHandPointsUpFromThePivot();
    void primeDishIsSymmetricWithTheFeedBelow();
    void offsetDishTopLooksDown();
    void offsetDishSideHangsItsLnbOnTheLowerRimSide();
    void primeFeedCircuitBoxPointsUpLeft();
    void offsetLnbConnectorPointsDownRight();
};

void DiagramArtworkTest::spritesHaveTheirSizeAndClearCorners_data() {
    QTest::addColumn<std::function<QImage()>>("make");
    QTest::addColumn<int>("side");
    QTest::addColumn<QPoint>("body");

    QTest::newRow("prime dish") << std::function<QImage()>(primeDishPicture) << 180
                                << QPoint(90, 90);
    QTest::newRow("offset dish top")
        << std::function<QImage()>(offsetDishTopPicture) << 180 << QPoint(90, 62);
    QTest::newRow("offset dish side")
        << std::function<QImage()>(offsetDishSidePicture) << 180 << QPoint(90, 90);
    QTest::newRow("prime feed") << std::function<QImage()>(primeFeedPicture) << 145
                                << QPoint(72, 72);
    QTest::newRow("offset LNB") << std::function<QImage()>(offsetLnbPicture) << 97
                                << QPoint(48, 48);
    QTest::newRow("hour hand") << std::function<QImage()>(hourHandPicture) << 165 << QPoint(82, 82);
}

void DiagramArtworkTest::spritesHaveTheirSizeAndClearCorners() {
    QFETCH(std::function<QImage()>, make);
    QFETCH(int, side);
    QFETCH(QPoint, body);

    const QImage image = make();
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    const int last = side - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last),
                                QPoint(3, 3), QPoint(last - 3, last - 3)}) {
        QVERIFY2(alphaAt(image, corner.x(), corner.y()) == 0,
                 describe("corner alpha", alphaAt(image, corner.x(), corner.y()), "0").constData());
    }
    QVERIFY2(alphaAt(image, body.x(), body.y()) == 255,
             describe("body alpha", alphaAt(image, body.x(), body.y()), "255").constData());
}

void DiagramArtworkTest::backgroundIsOpaqueAtCanvasSize() {
    const QImage image = diagramBackground();
    QCOMPARE(image.size(), QSize(777, 288));
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
    // Pivot at 82.5/82.5: the hand rises from it along the middle columns.
    int top = -1;
    for (int y = 0; y < 83 && top < 0; ++y) {
        if (opaqueCount(hand, 80, y, 85, y + 1) > 0) {
            top = y;
        }
    }
    QVERIFY2(top >= 0, "no opaque pixel above the pivot");
    const double length = 82.5 - top;
    QVERIFY2(length >= 38.0 && length <= 46.0,
             describe("hand length", std::lround(length), "38 to 46").constData());
    QVERIFY2(alphaAt(hand, 82, 62) == 255,
             describe("alpha 20 px above the pivot", alphaAt(hand, 82, 62), "255").constData());

    // Nothing below the pivot beyond the hub, and nothing to either side beyond it.
    const int below = static_cast<int>(82.5 + artwork::kHourHandHubRadius + 2.0);
    const int underneath = opaqueCount(hand, 0, below, 165, 165, 0);
    QVERIFY2(underneath == 0, describe("pixels below the hub", underneath, "0").constData());
    const int beside = opaqueCount(hand, 0, 0, 75, 165, 0) + opaqueCount(hand, 91, 0, 165, 165, 0);
    QVERIFY2(beside == 0, describe("pixels beside the hand", beside, "0").constData());
}

void DiagramArtworkTest::primeDishIsSymmetricWithTheFeedBelow() {
    const QImage dish = primeDishPicture();
    int worst = 0;
    QPoint at;
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 90; ++x) {
            const int d = std::abs(alphaAt(dish, x, y) - alphaAt(dish, 179 - x, y));
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
    int lowest = 90;
    int highest = 90;
    for (int y = 0; y < 180; ++y) {
        if (opaqueCount(dish, 84, y, 96, y + 1) > 0) {
            highest = std::min(highest, y);
            lowest = std::max(lowest, y);
        }
    }
    const int forward = lowest - 90;
    const int backward = 90 - highest;
    QVERIFY2(forward >= 50, describe("feed reach below the centre", forward, ">= 50").constData());
    QVERIFY2(forward > backward + 15,
             describe("feed reach minus bowl reach", forward - backward, "> 15").constData());
    const int farAbove = opaqueCount(dish, 84, 0, 96, 90 - 45);
    QVERIFY2(farAbove == 0,
             describe("axis pixels far above the centre", farAbove, "0").constData());
    QVERIFY2(opaqueCount(dish, 84, 90 + 45, 96, 180) > 20, "no feed far below the centre");
}

void DiagramArtworkTest::offsetDishTopLooksDown() {
    const QImage dish = offsetDishTopPicture();
    const int front = opaqueCount(dish, 80, 120, 100, 180);
    const int back = opaqueCount(dish, 80, 0, 100, 30);
    QVERIFY2(front > 50, describe("LNB pixels toward the bottom", front, "> 50").constData());
    QVERIFY2(back == 0, describe("pixels near the top edge", back, "0").constData());
}

void DiagramArtworkTest::offsetDishSideHangsItsLnbOnTheLowerRimSide() {
    // In front of the aperture (below it) the arm and LNB stay on the -x side.
    const QImage dish = offsetDishSidePicture();
    const int lowerRimSide = opaqueCount(dish, 0, 110, 90, 180);
    const int otherSide = opaqueCount(dish, 90, 110, 180, 180);
    QVERIFY2(lowerRimSide > 200,
             describe("pixels in front, -x side", lowerRimSide, "> 200").constData());
    QVERIFY2(otherSide == 0, describe("pixels in front, +x side", otherSide, "0").constData());
}

void DiagramArtworkTest::primeFeedCircuitBoxPointsUpLeft() {
    const QImage feed = primeFeedPicture();
    const int upLeft = opaqueCount(feed, 0, 0, 72, 72);
    const int downRight = opaqueCount(feed, 73, 73, 145, 145);
    QVERIFY2(upLeft > downRight * 3 / 2, (describe("up-left pixels", upLeft, "> 1.5 x down-right") +
                                          ", down-right " + QByteArray::number(downRight))
                                             .constData());
    // The box itself, well outside the horn.
    QVERIFY2(alphaAt(feed, 40, 40) == 255,
             describe("alpha at (40,40)", alphaAt(feed, 40, 40), "255").constData());
    QVERIFY2(alphaAt(feed, 105, 105) == 0,
             describe("alpha at (105,105)", alphaAt(feed, 105, 105), "0").constData());
}

void DiagramArtworkTest::offsetLnbConnectorPointsDownRight() {
    const QImage lnb = offsetLnbPicture();
    const int upLeft = opaqueCount(lnb, 0, 0, 48, 48);
    const int downRight = opaqueCount(lnb, 49, 49, 97, 97);
    QVERIFY2(downRight > upLeft * 3 / 2,
             (describe("down-right pixels", downRight, "> 1.5 x up-left") + ", up-left " +
              QByteArray::number(upLeft))
                 .constData());
    QVERIFY2(alphaAt(lnb, 74, 74) == 255,
             describe("alpha at (74,74)", alphaAt(lnb, 74, 74), "255").constData());
    QVERIFY2(alphaAt(lnb, 23, 23) == 0,
             describe("alpha at (23,23)", alphaAt(lnb, 23, 23), "0").constData());
}

QTEST_MAIN(DiagramArtworkTest)
#include "DiagramArtworkTest.moc"
