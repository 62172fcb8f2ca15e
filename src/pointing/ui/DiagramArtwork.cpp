#include "pointing/ui/DiagramArtwork.h"
#include "common/ui/ArtworkPalette.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <numbers>

namespace zorvast::pointing::ui {

namespace {

using namespace artwork;
using Palette = common::ui::ArtworkPalette;

const Palette& colours() {
    return common::ui::artworkPalette();
}

constexpr double kPi = std::numbers::pi;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

// A point at distance r from c, at an angle measured clockwise from straight up.
QPointF polar(QPointF c, double r, double degreesFromUp) {
    const double a = radians(degreesFromUp);
    return {c.x() + r * std::sin(a), c.y() - r * std::cos(a)};
}

QImage blankPicture(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QPen thinPen(const QColor& colour, double width = 0.9) {
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// Brushed metal across a part: darker at both edges, a highlight a little off the middle.
QLinearGradient metalAcross(QPointF from, QPointF to) {
    const Palette& c = colours();
    QLinearGradient g(from, to);
    g.setColorAt(0.0, c.steelDark);
    g.setColorAt(0.22, c.steel);
    g.setColorAt(0.42, c.steelHigh);
    g.setColorAt(0.62, c.steelLight);
    g.setColorAt(1.0, c.steelMid);
    return g;
}

QLinearGradient paintedBlue(QPointF from, QPointF to) {
    const Palette& c = colours();
    QLinearGradient g(from, to);
    g.setColorAt(0.0, c.blueDark);
    g.setColorAt(0.3, c.blue);
    g.setColorAt(0.55, c.blueLight);
    g.setColorAt(1.0, c.blueDark);
    return g;
}

QLinearGradient brassAcross(QPointF from, QPointF to) {
    const Palette& c = colours();
    QLinearGradient g(from, to);
    g.setColorAt(0.0, c.brassDark);
    g.setColorAt(0.4, c.brassLight);
    g.setColorAt(0.65, c.brass);
    g.setColorAt(1.0, c.brassDark);
    return g;
}

QFont pixelFont(int pixels, bool bold) {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Draws a short text with its ink (not its line box) centred on a point.
void drawCentredText(QPainter& p, QPointF centre, const QString& text, const QFont& font,
                     const QColor& colour) {
    p.save();
    p.setFont(font);
    p.setPen(colour);
    const QRectF ink = QFontMetricsF(font).tightBoundingRect(text);
    p.drawText(QPointF(centre.x() - ink.left() - ink.width() / 2.0,
                       centre.y() - ink.top() - ink.height() / 2.0),
               text);
    p.restore();
}

// A soft round shadow under a raised disc of the panel.
void discShadow(QPainter& p, QPointF centre, double radius) {
    QRadialGradient g(centre + QPointF(1.2, 2.0), radius + 4.0);
    const double inner = radius / (radius + 4.0);
    g.setColorAt(0.0, QColor(40, 50, 60, 60));
    g.setColorAt(inner * 0.97, QColor(40, 50, 60, 60));
    g.setColorAt(1.0, QColor(40, 50, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre + QPointF(1.2, 2.0), radius + 4.0, radius + 4.0);
}

// A rectangle turned so that its local x axis runs along `angle` (degrees, screen clockwise).
struct LocalFrame {
    QPainter& p;
    LocalFrame(QPainter& painter, QPointF origin, double angle) : p(painter) {
        p.save();
        p.translate(origin);
        p.rotate(angle);
    }
    ~LocalFrame() { p.restore(); }
    LocalFrame(const LocalFrame&) = delete;
    LocalFrame& operator=(const LocalFrame&) = delete;
};

// ---------------------------------------------------------------------------------------------
// Background

void drawPanel(QPainter& p) {
    const Palette& c = colours();
    QLinearGradient g(0, 0, 0, 288);
    g.setColorAt(0.0, c.panelTop);
    g.setColorAt(1.0, c.panelBottom);
    p.fillRect(QRectF(0, 0, 777, 288), g);

    // Engraved divider between the compass and the watch; it stays clear of the captions above
    // and below.
    p.setPen(thinPen(c.groove, 1.0));
    p.drawLine(QPointF(240.5, 60), QPointF(240.5, 226));
    p.setPen(thinPen(QColor(255, 255, 255, 220), 1.0));
    p.drawLine(QPointF(241.5, 60), QPointF(241.5, 226));

    p.setPen(thinPen(c.frame, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 776, 287));
}

void drawCompassRose(QPainter& p) {
    const Palette& c = colours();
    const QPointF centre(kCompassX, kCompassY);
    const double r = kCompassRadius;
    const double face = 72.0;

    discShadow(p, centre, r);

    // Bezel band carrying the graduation.
    QLinearGradient bezel(centre + QPointF(-r, -r), centre + QPointF(r, r));
    bezel.setColorAt(0.0, QColor(238, 241, 245));
    bezel.setColorAt(1.0, QColor(206, 213, 222));
    p.setPen(thinPen(c.steelDark, 1.2));
    p.setBrush(bezel);
    p.drawEllipse(centre, r, r);
    p.setPen(thinPen(QColor(255, 255, 255, 200), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r - 1.5, r - 1.5);

    // Card.
    QRadialGradient card(centre, face);
    card.setColorAt(0.0, c.dialLight);
    card.setColorAt(1.0, QColor(241, 241, 235));
    p.setPen(thinPen(c.steelMid, 0.9));
    p.setBrush(card);
    p.drawEllipse(centre, face, face);

    // Faint bearing circles and the eight rose points.
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(QColor(200, 206, 214), 0.7));
    p.drawEllipse(centre, 46.0, 46.0);
    p.drawEllipse(centre, 16.0, 16.0);
    for (int i = 0; i < 8; ++i) {
        const double a = i * 45.0;
        const bool cardinal = i % 2 == 0;
        const double length = cardinal ? 62.0 : 40.0;
        const double half = cardinal ? 7.0 : 5.0;
        const QPointF tip = polar(centre, length, a);
        const QPointF left = polar(centre, half * 1.41, a - 45.0);
        const QPointF right = polar(centre, half * 1.41, a + 45.0);
        const bool north = i == 0;
        const QColor lit = north ? QColor(242, 206, 186) : QColor(236, 239, 243);
        const QColor shaded = north ? QColor(214, 146, 114) : QColor(210, 217, 226);
        p.setPen(Qt::NoPen);
        p.setBrush(lit);
        p.drawPolygon(QPolygonF({centre, left, tip}));
        p.setBrush(shaded);
        p.drawPolygon(QPolygonF({centre, tip, right}));
        p.setPen(thinPen(QColor(176, 184, 196), 0.6));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(QPolygonF({centre, left, tip, right}));
    }
    p.setPen(thinPen(c.steelMid, 0.8));
    p.setBrush(QColor(250, 250, 248));
    p.drawEllipse(centre, 2.6, 2.6);

    // Graduation: every 10 degrees, longer every 30, the cardinal points carry letters.
    for (int deg = 0; deg < 360; deg += 10) {
        if (deg % 90 == 0) {
            continue;
        }
        const bool major = deg % 30 == 0;
        const double inner = major ? r - 10.0 : r - 6.0;
        p.setPen(thinPen(c.ink, major ? 1.4 : 0.9));
        p.drawLine(polar(centre, r - 2.0, deg), polar(centre, inner, deg));
    }
    for (int deg = 5; deg < 360; deg += 10) {
        p.setPen(thinPen(c.inkSoft, 0.7));
        p.drawLine(polar(centre, r - 2.0, deg), polar(centre, r - 4.0, deg));
    }
    const QFont small = pixelFont(8, false);
    for (int deg = 30; deg < 360; deg += 30) {
        if (deg % 90 == 0) {
            continue;
        }
        drawCentredText(p, polar(centre, face - 7.5, deg), QString::number(deg), small, c.inkSoft);
    }
    const QFont letters = pixelFont(12, true);
    const char* names[] = {"北", "东", "南", "西"};
    for (int i = 0; i < 4; ++i) {
        drawCentredText(p, polar(centre, r - 8.0, i * 90.0), QString::fromUtf8(names[i]), letters,
                        i == 0 ? c.accent : c.ink);
    }
}

void drawWatchFace(QPainter& p) {
    const Palette& c = colours();
    const QPointF centre(kWatchX, kWatchY);
    const double r = kWatchRadius;
    const double dial = r - 7.5;

    // Crown at three o'clock, under the case.
    const QRectF crown(centre.x() + r - 1.5, centre.y() - 4.0, 5.5, 8.0);
    p.setPen(thinPen(c.steelDark, 0.8));
    p.setBrush(metalAcross(crown.topLeft(), crown.bottomLeft()));
    p.drawRoundedRect(crown, 1.5, 1.5);

    discShadow(p, centre, r);

    // Case and bezel; the hour numerals sit on the bezel so the dial's upper half stays free
    // for the clock reading written over it.
    QLinearGradient caseShade(centre + QPointF(-r, -r), centre + QPointF(r, r));
    caseShade.setColorAt(0.0, c.steelHigh);
    caseShade.setColorAt(0.5, c.steelLight);
    caseShade.setColorAt(1.0, c.steelMid);
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(caseShade);
    p.drawEllipse(centre, r, r);
    p.setPen(thinPen(QColor(255, 255, 255, 200), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r - 1.3, r - 1.3);
    const QFont numerals = pixelFont(8, true);
    for (int h = 1; h <= 12; ++h) {
        const QPointF at = polar(centre, r - 3.9, h * 30.0);
        if (h % 3 == 0) {
            drawCentredText(p, at, QString::number(h), numerals, h == 12 ? c.accent : c.ink);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(c.inkSoft);
            p.drawEllipse(at, 0.9, 0.9);
        }
    }

    QLinearGradient bevel(centre + QPointF(-dial, -dial), centre + QPointF(dial, dial));
    bevel.setColorAt(0.0, c.steelDark);
    bevel.setColorAt(1.0, c.steelHigh);
    QRadialGradient dialShade(centre + QPointF(-8, -10), dial * 1.3);
    dialShade.setColorAt(0.0, c.dialLight);
    dialShade.setColorAt(1.0, c.dialShade);
    p.setPen(QPen(QBrush(bevel), 1.2));
    p.setBrush(dialShade);
    p.drawEllipse(centre, dial, dial);

    // Minute track and hour batons; twelve gets a small triangle at the very edge.
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(c.inkSoft, 0.5));
    p.drawEllipse(centre, dial - 2.6, dial - 2.6);
    for (int m = 0; m < 60; ++m) {
        p.setPen(thinPen(m % 5 == 0 ? c.ink : c.inkSoft, m % 5 == 0 ? 0.9 : 0.6));
        p.drawLine(polar(centre, dial - 0.9, m * 6.0), polar(centre, dial - 2.6, m * 6.0));
    }
    for (int h = 1; h < 12; ++h) {
        const double a = h * 30.0;
        const bool quarter = h % 3 == 0;
        LocalFrame frame(p, polar(centre, dial - (quarter ? 8.0 : 7.0), a), a);
        p.setPen(thinPen(c.ink, 0.6));
        p.setBrush(QColor(84, 92, 104));
        const double w = quarter ? 1.5 : 1.1;
        const double h2 = quarter ? 4.6 : 3.6;
        p.drawRoundedRect(QRectF(-w, -h2, 2 * w, 2 * h2), 0.8, 0.8);
    }
    const QPointF top = polar(centre, dial - 3.2, 0.0);
    p.setPen(thinPen(c.brassDark, 0.5));
    p.setBrush(c.accent);
    p.drawPolygon(
        QPolygonF({top + QPointF(-2.6, 0), top + QPointF(2.6, 0), top + QPointF(0, 4.2)}));
}

void drawFeedPlate(QPainter& p) {
    const Palette& c = colours();
    const QPointF centre(kFeedPlateX, kFeedPlateY);
    const double r = kFeedPlateRadius;
    const double recess = 30.0;

    discShadow(p, centre, r);
    QLinearGradient ring(centre + QPointF(-r, -r), centre + QPointF(r, r));
    ring.setColorAt(0.0, c.steelHigh);
    ring.setColorAt(0.55, c.steelLight);
    ring.setColorAt(1.0, c.steelMid);
    p.setPen(thinPen(c.steelDark, 1.0));
    p.setBrush(ring);
    p.drawEllipse(centre, r, r);

    // Polarisation graduation, every 15 degrees, longer every 45.
    for (int deg = 0; deg < 360; deg += 15) {
        const bool major = deg % 45 == 0;
        p.setPen(thinPen(c.ink, major ? 1.1 : 0.7));
        p.drawLine(polar(centre, r - 1.5, deg), polar(centre, major ? r - 6.5 : r - 4.0, deg));
    }
    // Index marks on the diagonal the feeds rest on at zero skew.
    for (double a : {315.0, 135.0}) {
        const QPointF tip = polar(centre, r - 5.0, a);
        const QPointF left = polar(centre, r + 0.5, a - 5.0);
        const QPointF right = polar(centre, r + 0.5, a + 5.0);
        p.setPen(thinPen(c.brassDark, 0.6));
        p.setBrush(c.accent);
        p.drawPolygon(QPolygonF({tip, left, right}));
    }

    QRadialGradient hole(centre + QPointF(-4, -5), recess * 1.2);
    hole.setColorAt(0.0, QColor(206, 211, 218));
    hole.setColorAt(1.0, QColor(168, 176, 188));
    p.setPen(thinPen(c.steelDark, 0.9));
    p.setBrush(hole);
    p.drawEllipse(centre, recess, recess);
    p.setPen(thinPen(QColor(255, 255, 255, 150), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(
        QRectF(centre.x() - recess + 1, centre.y() - recess + 1, 2 * recess - 2, 2 * recess - 2),
        -60 * 16, -150 * 16);
}

void drawSideScene(QPainter& p) {
    const Palette& c = colours();
    const QPointF pivot(kSidePivotX, kSidePivotY);
    const QRectF window(547.5, 34.5, 182, 206);
    QPainterPath windowPath;
    windowPath.addRoundedRect(window, 6, 6);

    p.save();
    p.setClipPath(windowPath);
    QLinearGradient sky(0, window.top(), 0, kGroundY);
    sky.setColorAt(0.0, QColor(126, 154, 188));
    sky.setColorAt(0.5, QColor(166, 188, 212));
    sky.setColorAt(1.0, QColor(184, 200, 218));
    p.fillRect(window, sky);

    // Elevation scale in the sky quadrant.
    const double scale = 94.0;
    p.setPen(thinPen(QColor(255, 255, 255, 190), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(pivot.x() - scale, pivot.y() - scale, 2 * scale, 2 * scale), 0, 90 * 16);
    for (int e = 0; e <= 90; e += 5) {
        const bool major = e % 30 == 0;
        const bool ten = e % 10 == 0;
        const double inner = major ? scale - 7.0 : (ten ? scale - 4.5 : scale - 2.5);
        p.setPen(thinPen(QColor(255, 255, 255, major ? 230 : 180), major ? 1.2 : 0.8));
        p.drawLine(polar(pivot, scale, 90.0 - e), polar(pivot, inner, 90.0 - e));
    }
    const QFont small = pixelFont(8, false);
    for (int e : {30, 60, 90}) {
        drawCentredText(p, polar(pivot, scale + 7.0, 90.0 - e), QString::number(e), small,
                        QColor(255, 255, 255, 235));
    }

    // Horizon through the pivot.
    QPen horizon(QColor(255, 255, 255, 170), 1.0, Qt::DashLine);
    horizon.setDashPattern({5.0, 3.0});
    p.setPen(horizon);
    p.drawLine(QPointF(window.left() + 4, pivot.y() + 0.5),
               QPointF(window.right() - 4, pivot.y() + 0.5));

    // Earth.
    QLinearGradient earth(0, kGroundY, 0, window.bottom());
    earth.setColorAt(0.0, QColor(164, 152, 130));
    earth.setColorAt(1.0, QColor(138, 126, 106));
    p.fillRect(QRectF(window.left(), kGroundY, window.width(), window.bottom() - kGroundY), earth);
    p.setPen(thinPen(QColor(112, 100, 82), 0.8));
    for (double x = window.left() - 8; x < window.right(); x += 6.0) {
        p.drawLine(QPointF(x, window.bottom()), QPointF(x + 8, kGroundY + 0.5));
    }
    p.setPen(thinPen(QColor(92, 82, 66), 1.4));
    p.drawLine(QPointF(window.left(), kGroundY), QPointF(window.right(), kGroundY));

    // Mast from the ground up to the pivot, where the dish is clamped.
    const QRectF mast(pivot.x() - 3.5, pivot.y(), 7.0, kGroundY - pivot.y());
    p.setPen(thinPen(c.steelDark, 0.8));
    p.setBrush(metalAcross(mast.topLeft(), mast.topRight()));
    p.drawRect(mast);
    QPolygonF foot({QPointF(pivot.x() - 12, kGroundY), QPointF(pivot.x() - 6, kGroundY - 5),
                    QPointF(pivot.x() + 6, kGroundY - 5), QPointF(pivot.x() + 12, kGroundY)});
    p.setBrush(metalAcross(QPointF(pivot.x() - 12, 0), QPointF(pivot.x() + 12, 0)));
    p.drawPolygon(foot);
    const QRectF head(pivot.x() - 6, pivot.y() - 4, 12, 10);
    p.setBrush(metalAcross(head.topLeft(), head.topRight()));
    p.drawRoundedRect(head, 2, 2);
    p.restore();

    p.setPen(thinPen(QColor(104, 124, 150), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(windowPath);
    p.setPen(thinPen(QColor(255, 255, 255, 200), 1.0));
    p.drawRoundedRect(window.adjusted(-1, -1, 1, 1), 7, 7);
}

// ---------------------------------------------------------------------------------------------
// Dish pictures

// The face of a dish seen nearly edge-on: the inside of the bowl within a narrow ellipse, with a
// rolled rim.
void drawDishFace(QPainter& p, QPointF centre, double rx, double ry) {
    const Palette& c = colours();
    QLinearGradient inside(centre.x(), centre.y() - ry, centre.x(), centre.y() + ry);
    inside.setColorAt(0.0, QColor(98, 110, 126));
    inside.setColorAt(0.5, QColor(176, 186, 198));
    inside.setColorAt(1.0, QColor(236, 240, 244));
    p.setPen(Qt::NoPen);
    p.setBrush(inside);
    p.drawEllipse(centre, rx, ry);
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(QColor(150, 160, 172, 170), 0.7));
    p.drawEllipse(centre + QPointF(0, -ry * 0.2), rx * 0.62, ry * 0.55);
    p.setPen(thinPen(c.steelLight, 2.2));
    p.drawEllipse(centre, rx - 0.6, ry - 0.6);
    p.setPen(thinPen(c.outline, 0.8));
    p.drawEllipse(centre, rx + 0.4, ry + 0.4);
}

} // namespace

QImage diagramBackground() {
    QImage image(777, 288, QImage::Format_ARGB32_Premultiplied);
    image.fill(colours().panelBottom);
    QPainter p(&image);
    prepare(p);
    drawPanel(p);
    drawCompassRose(p);
    drawFeedPlate(p);
    drawWatchFace(p);
    drawSideScene(p);
    return image;
}

QImage primeDishPicture() {
    const Palette& c = colours();
    QImage image = blankPicture(180);
    QPainter p(&image);
    prepare(p);

    // The aperture passes through the centre; the bowl lies behind it (up), the feed in front.
    const double cx = 90.0;
    const double ay = 90.0;
    const double rim = 70.0;
    const double depth = 23.0;
    const double shell = 2.5;
    const double focusY = ay - depth + rim * rim / (4.0 * depth);

    // Mount behind the vertex.
    const double back = ay - depth - shell;
    const QRectF clamp(cx - 6, back - 12, 12, 9);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(clamp.topLeft(), clamp.topRight()));
    p.drawRoundedRect(clamp, 1.5, 1.5);
    const QRectF plate(cx - 15, back - 4.5, 30, 6);
    p.setBrush(metalAcross(plate.topLeft(), plate.topRight()));
    p.drawRoundedRect(plate, 2, 2);

    // Shell, its outer surface a parabola from rim to rim.
    QPainterPath bowl;
    bowl.moveTo(cx - rim - 0.8, ay);
    bowl.quadTo(cx, ay - 2.0 * (depth + shell), cx + rim + 0.8, ay);
    bowl.closeSubpath();
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(metalAcross(QPointF(cx - rim, 0), QPointF(cx + rim, 0)));
    p.drawPath(bowl);
    // A pressed stiffening ring on the back.
    p.setPen(thinPen(QColor(120, 130, 144, 150), 0.8));
    p.setBrush(Qt::NoBrush);
    QPainterPath seam;
    const double seamX = rim * 0.55;
    const double seamY = ay - (depth + shell) * (1.0 - 0.55 * 0.55);
    seam.moveTo(cx - seamX, seamY);
    seam.quadTo(cx, seamY - 6.0, cx + seamX, seamY);
    p.drawPath(seam);

    drawDishFace(p, QPointF(cx, ay), rim, 10.0);

    // Feed supports: two struts from the rim ends and the near one, foreshortened.
    const QPointF collarLeft(cx - 6.0, focusY + 8.0);
    const QPointF collarRight(cx + 6.0, focusY + 8.0);
    p.setPen(thinPen(c.steelDark, 1.8));
    p.drawLine(QPointF(cx, ay + 10.0), QPointF(cx, focusY));
    for (int side : {-1, 1}) {
        const QPointF from(cx + side * (rim - 3.0), ay + 1.0);
        const QPointF to = side < 0 ? collarLeft : collarRight;
        p.setPen(thinPen(c.outline, 2.8));
        p.drawLine(from, to);
        p.setPen(thinPen(c.steelLight, 1.0));
        p.drawLine(from, to);
    }

    // Feed at the focus: scalar ring edge-on, horn, circuit box, connector.
    QPolygonF horn({QPointF(cx - 8.5, focusY), QPointF(cx + 8.5, focusY),
                    QPointF(cx + 5.5, focusY + 13.0), QPointF(cx - 5.5, focusY + 13.0)});
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(QPointF(cx - 8.5, 0), QPointF(cx + 8.5, 0)));
    p.drawPolygon(horn);
    const QRectF collar(cx - 7.5, focusY + 6.0, 15, 4);
    p.setBrush(metalAcross(collar.topLeft(), collar.topRight()));
    p.drawRoundedRect(collar, 1, 1);
    const QRectF box(cx - 7.0, focusY + 13.0, 14.0, 15.0);
    p.setBrush(paintedBlue(box.topLeft(), box.topRight()));
    p.drawRoundedRect(box, 2, 2);
    p.setPen(thinPen(QColor(255, 255, 255, 90), 0.7));
    p.drawLine(QPointF(box.left() + 2, box.top() + 5), QPointF(box.right() - 2, box.top() + 5));
    const QRectF plug(cx - 2.4, box.bottom(), 4.8, 6.0);
    p.setPen(thinPen(c.brassDark, 0.7));
    p.setBrush(brassAcross(plug.topLeft(), plug.topRight()));
    p.drawRect(plug);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(QPointF(cx - 15, 0), QPointF(cx + 15, 0)));
    p.drawEllipse(QPointF(cx, focusY), 15.0, 3.2);
    p.setPen(thinPen(QColor(60, 68, 80, 160), 0.6));
    p.drawEllipse(QPointF(cx, focusY - 0.3), 9.0, 1.8);
    return image;
}

QImage offsetDishTopPicture() {
    const Palette& c = colours();
    QImage image = blankPicture(180);
    QPainter p(&image);
    prepare(p);

    const double cx = 90.0;
    const QPointF faceCentre(cx, 62.0);
    const double rx = 62.0;
    const double ry = 17.0;

    // Mount bracket behind the reflector.
    const QRectF clamp(cx - 6, 33, 12, 10);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(clamp.topLeft(), clamp.topRight()));
    p.drawRoundedRect(clamp, 1.5, 1.5);
    const QRectF plate(cx - 17, 41, 34, 5);
    p.setBrush(metalAcross(plate.topLeft(), plate.topRight()));
    p.drawRoundedRect(plate, 2, 2);

    // Arm from under the lower rim forward to the LNB.
    const double armTop = faceCentre.y() + ry - 4.0;
    const double armEnd = 142.0;
    QPolygonF arm({QPointF(cx - 3.5, armTop), QPointF(cx + 3.5, armTop), QPointF(cx + 2.8, armEnd),
                   QPointF(cx - 2.8, armEnd)});
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(QPointF(cx - 3.5, 0), QPointF(cx + 3.5, 0)));
    p.drawPolygon(arm);

    // Reflector: the upper rim's thickness behind, then the face tilted up toward the viewer.
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(metalAcross(QPointF(cx - rx, 0), QPointF(cx + rx, 0)));
    p.drawEllipse(faceCentre + QPointF(0, -3.0), rx + 0.8, ry + 1.0);
    drawDishFace(p, faceCentre, rx, ry);

    const QRectF armClamp(cx - 5.5, faceCentre.y() + ry - 2.0, 11, 6);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(armClamp.topLeft(), armClamp.topRight()));
    p.drawRoundedRect(armClamp, 1.5, 1.5);

    // LNB seen from above, its horn toward the reflector.
    const double hornTop = 122.0;
    QPolygonF horn({QPointF(cx - 9, hornTop), QPointF(cx + 9, hornTop),
                    QPointF(cx + 6, hornTop + 10), QPointF(cx - 6, hornTop + 10)});
    p.setBrush(metalAcross(QPointF(cx - 9, 0), QPointF(cx + 9, 0)));
    p.drawPolygon(horn);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(QColor(70, 78, 90));
    p.drawRoundedRect(QRectF(cx - 9, hornTop - 2.0, 18, 3), 1, 1);
    const QRectF body(cx - 6.5, hornTop + 10, 13, 22);
    p.setBrush(paintedBlue(body.topLeft(), body.topRight()));
    p.drawRoundedRect(body, 3, 3);
    const QRectF band(cx - 8, hornTop + 16, 16, 5);
    p.setBrush(metalAcross(band.topLeft(), band.topRight()));
    p.drawRoundedRect(band, 1, 1);
    return image;
}

QImage offsetDishSidePicture() {
    const Palette& c = colours();
    QImage image = blankPicture(180);
    QPainter p(&image);
    prepare(p);

    // An offset section of a paraboloid. The aperture chord is horizontal through the centre
    // (disc axis down); the parent axis, which is the beam, leans kOffset toward +x; the section
    // starts next to the parent vertex at the -x rim, so the focus lies one focal length along
    // the beam from that rim.
    constexpr double kOffset = 23.0;
    const double half = 58.0;
    const double a = radians(kOffset);
    const double aperture = 2.0 * half * std::cos(a);
    const double focal = 0.55 * aperture;
    const double v1 = (4.0 * focal * std::tan(a) - aperture) / 2.0;
    const double v2 = v1 + aperture;
    const QPointF beam(std::sin(a), std::cos(a));
    const QPointF across(std::cos(a), -std::sin(a));
    const QPointF centre(90.0, 90.0);
    const QPointF lowerRim(centre.x() - half, centre.y());
    const QPointF vertex = lowerRim - beam * (v1 * v1 / (4.0 * focal)) - across * v1;
    auto surface = [&](double v) {
        return vertex + beam * (v * v / (4.0 * focal)) + across * v;
    };
    auto backNormal = [&](double v) {
        const QPointF t = beam * (v / (2.0 * focal)) + across;
        const double n = std::hypot(t.x(), t.y());
        return QPointF(t.y() / n, -t.x() / n);
    };
    const QPointF focus = vertex + beam * focal;
    QPointF toDish = centre - focus;
    toDish /= std::hypot(toDish.x(), toDish.y());

    // Mount bracket on the back of the reflector.
    double deepest = centre.y();
    for (int i = 0; i <= 40; ++i) {
        const double v = v1 + (v2 - v1) * i / 40.0;
        deepest = std::min(deepest, (surface(v) + backNormal(v) * 2.5).y());
    }
    const QRectF clamp(centre.x() - 6, deepest - 11, 12, 9);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(clamp.topLeft(), clamp.topRight()));
    p.drawRoundedRect(clamp, 1.5, 1.5);
    const QRectF plate(centre.x() - 16, deepest - 3.5, 32, 6);
    p.setBrush(metalAcross(plate.topLeft(), plate.topRight()));
    p.drawRoundedRect(plate, 2, 2);

    // LNB arm from behind the lower rim to the LNB's clamp.
    const QPointF armFrom = lowerRim + QPointF(1.5, -3.0);
    const QPointF armTo = focus - toDish * 13.0;
    QPointF along = armTo - armFrom;
    along /= std::hypot(along.x(), along.y());
    const QPointF normal(-along.y(), along.x());
    QPolygonF arm({armFrom + normal * 3.0, armTo + normal * 2.4, armTo - normal * 2.4,
                   armFrom - normal * 3.0});
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(armFrom + normal * 3.0, armFrom - normal * 3.0));
    p.drawPolygon(arm);

    // Reflector in section: back surface from rim to rim, closed by the aperture chord.
    QPainterPath bowl;
    bowl.moveTo(lowerRim - QPointF(0.8, 0));
    for (int i = 0; i <= 48; ++i) {
        const double v = v1 + (v2 - v1) * i / 48.0;
        bowl.lineTo(surface(v) + backNormal(v) * 2.5);
    }
    bowl.lineTo(QPointF(centre.x() + half + 0.8, centre.y()));
    bowl.closeSubpath();
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(metalAcross(QPointF(centre.x() - half, 0), QPointF(centre.x() + half, 0)));
    p.drawPath(bowl);
    drawDishFace(p, centre, half, 7.0);

    // Clamp where the arm meets the rim.
    {
        LocalFrame frame(p, lowerRim + along * 6.0, std::atan2(along.y(), along.x()) * 180.0 / kPi);
        p.setPen(thinPen(c.outline, 0.8));
        p.setBrush(metalAcross(QPointF(0, -4), QPointF(0, 4)));
        p.drawRoundedRect(QRectF(-4.5, -4.0, 9.0, 8.0), 1.5, 1.5);
    }

    // LNB at the focus, horn facing the reflector; F connector on the side that hangs down.
    {
        LocalFrame frame(p, focus, std::atan2(-toDish.y(), -toDish.x()) * 180.0 / kPi);
        // Local +x runs from the horn mouth back along the LNB body.
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(brassAcross(QPointF(12, 0), QPointF(17, 0)));
        p.drawRect(QRectF(11.5, 5.5, 5.0, 7.0));
        p.setPen(thinPen(c.outline, 0.8));
        p.setBrush(paintedBlue(QPointF(0, -6.5), QPointF(0, 6.5)));
        p.drawRoundedRect(QRectF(6.0, -6.5, 16.0, 13.0), 3, 3);
        QPolygonF horn(
            {QPointF(-1.5, -9.0), QPointF(7.5, -5.5), QPointF(7.5, 5.5), QPointF(-1.5, 9.0)});
        p.setBrush(metalAcross(QPointF(0, -9), QPointF(0, 9)));
        p.drawPolygon(horn);
        p.setBrush(QColor(70, 78, 90));
        p.drawRoundedRect(QRectF(-3.0, -9.5, 2.5, 19.0), 1, 1);
        p.setBrush(metalAcross(QPointF(0, -7.5), QPointF(0, 7.5)));
        p.drawRoundedRect(QRectF(11.0, -7.8, 5.0, 15.6), 1, 1);
    }
    return image;
}

QImage primeFeedPicture() {
    const Palette& c = colours();
    QImage image = blankPicture(145);
    QPainter p(&image);
    prepare(p);
    const QPointF centre(72.5, 72.5);
    const double flange = 34.0;

    // Circuit box behind the horn, reaching up-left.
    {
        LocalFrame frame(p, centre, -135.0);
        const QRectF box(12.0, -15.0, 50.0, 30.0);
        p.setPen(thinPen(c.outline, 0.9));
        p.setBrush(paintedBlue(QPointF(0, -15), QPointF(0, 15)));
        p.drawRoundedRect(box, 4, 4);
        const QRectF lid = box.adjusted(3.0, 3.0, -3.0, -3.0);
        p.setPen(thinPen(QColor(20, 36, 58, 160), 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(lid, 2.5, 2.5);
        p.setPen(thinPen(QColor(255, 255, 255, 70), 0.8));
        p.drawLine(QPointF(lid.left() + 2, lid.top() + 1.2),
                   QPointF(lid.right() - 2, lid.top() + 1.2));
        for (double y : {-8.5, 8.5}) {
            p.setPen(thinPen(c.outline, 0.6));
            p.setBrush(metalAcross(QPointF(54, y - 2), QPointF(54, y + 2)));
            p.drawEllipse(QPointF(55.5, y), 2.0, 2.0);
            p.setPen(thinPen(c.outline, 0.6));
            p.drawLine(QPointF(54.3, y), QPointF(56.7, y));
        }
        // Cable outlet at the far end.
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(brassAcross(QPointF(0, -4), QPointF(0, 4)));
        p.drawRect(QRectF(62.0, -4.0, 5.0, 8.0));
    }

    // Horn: flange with bolts, choke rings, the dark throat and its probe.
    QLinearGradient flangeShade(centre + QPointF(-flange, -flange),
                                centre + QPointF(flange, flange));
    flangeShade.setColorAt(0.0, c.steelHigh);
    flangeShade.setColorAt(0.5, c.steelLight);
    flangeShade.setColorAt(1.0, c.steelMid);
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(flangeShade);
    p.drawEllipse(centre, flange, flange);
    for (int i = 0; i < 4; ++i) {
        const QPointF bolt = polar(centre, flange - 3.2, i * 90.0);
        p.setPen(thinPen(c.steelDark, 0.6));
        p.setBrush(metalAcross(bolt + QPointF(-1.8, -1.8), bolt + QPointF(1.8, 1.8)));
        p.drawEllipse(bolt, 1.8, 1.8);
    }
    for (double r : {28.0, 23.5, 19.0}) {
        QLinearGradient groove(centre + QPointF(-r, -r), centre + QPointF(r, r));
        groove.setColorAt(0.0, c.steelDark);
        groove.setColorAt(1.0, c.steelHigh);
        p.setPen(QPen(QBrush(groove), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, r, r);
        p.setPen(thinPen(QColor(40, 48, 58, 120), 0.6));
        p.drawEllipse(centre, r - 1.2, r - 1.2);
    }
    const double throat = 13.0;
    QRadialGradient dark(centre + QPointF(2, 2), throat);
    dark.setColorAt(0.0, QColor(18, 22, 28));
    dark.setColorAt(0.7, QColor(40, 46, 56));
    dark.setColorAt(1.0, QColor(84, 94, 108));
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(dark);
    p.drawEllipse(centre, throat, throat);
    {
        LocalFrame frame(p, centre, -135.0);
        p.setPen(thinPen(c.brassDark, 0.6));
        p.setBrush(brassAcross(QPointF(0, -1.2), QPointF(0, 1.2)));
        p.drawRoundedRect(QRectF(4.0, -1.2, 9.5, 2.4), 1, 1);
    }
    return image;
}

QImage offsetLnbPicture() {
    const Palette& c = colours();
    QImage image = blankPicture(97);
    QPainter p(&image);
    prepare(p);
    const QPointF centre(48.5, 48.5);
    const double horn = 22.0;

    {
        // Body behind the horn and the F connector, along local +x (down-right).
        LocalFrame frame(p, centre, 45.0);
        p.setPen(thinPen(c.outline, 0.9));
        p.setBrush(paintedBlue(QPointF(0, -17), QPointF(0, 17)));
        p.drawRoundedRect(QRectF(-14.0, -16.0, 41.0, 32.0), 6, 6);
        // Hex nut, threaded barrel, end face with the centre conductor.
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(brassAcross(QPointF(0, -7), QPointF(0, 7)));
        p.drawRect(QRectF(27.0, -7.0, 6.0, 14.0));
        p.setPen(thinPen(QColor(124, 88, 34, 170), 0.6));
        p.drawLine(QPointF(27.2, -3.5), QPointF(32.8, -3.5));
        p.drawLine(QPointF(27.2, 3.5), QPointF(32.8, 3.5));
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(brassAcross(QPointF(0, -4.5), QPointF(0, 4.5)));
        p.drawRect(QRectF(33.0, -4.5, 10.0, 9.0));
        p.setPen(thinPen(QColor(124, 88, 34, 200), 0.6));
        for (double x = 34.5; x < 43.0; x += 1.7) {
            p.drawLine(QPointF(x, -4.3), QPointF(x + 0.8, 4.3));
        }
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(c.brass);
        p.drawRoundedRect(QRectF(42.5, -3.8, 2.0, 7.6), 0.8, 0.8);
    }

    // Horn mouth and its cap.
    QLinearGradient rim(centre + QPointF(-horn, -horn), centre + QPointF(horn, horn));
    rim.setColorAt(0.0, c.steelHigh);
    rim.setColorAt(0.5, c.steelLight);
    rim.setColorAt(1.0, c.steelMid);
    p.setPen(thinPen(c.outline, 0.9));
    p.setBrush(rim);
    p.drawEllipse(centre, horn, horn);
    p.setPen(thinPen(QColor(40, 48, 58, 130), 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, horn - 3.0, horn - 3.0);
    QRadialGradient cap(centre + QPointF(-5, -6), 18.0);
    cap.setColorAt(0.0, QColor(120, 130, 144));
    cap.setColorAt(0.55, QColor(66, 74, 86));
    cap.setColorAt(1.0, QColor(36, 42, 50));
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(cap);
    p.drawEllipse(centre, horn - 5.0, horn - 5.0);
    p.setPen(thinPen(QColor(255, 255, 255, 110), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - 12, centre.y() - 12, 24, 24), 110 * 16, 60 * 16);
    p.setPen(thinPen(QColor(20, 24, 30, 150), 0.7));
    p.drawEllipse(centre, 4.0, 4.0);
    return image;
}

QImage hourHandPicture() {
    const Palette& c = colours();
    QImage image = blankPicture(165);
    QPainter p(&image);
    prepare(p);
    const QPointF pivot(82.5, 82.5);
    const double length = kHourHandLength;
    const double hub = kHourHandHubRadius;

    // A faceted lance of blued steel with a light inlay; the lit half on the left.
    const QPointF tip = pivot + QPointF(0, -length);
    const QPointF shoulderL = pivot + QPointF(-3.8, -length * 0.62);
    const QPointF shoulderR = pivot + QPointF(3.8, -length * 0.62);
    const QPointF baseL = pivot + QPointF(-2.2, -hub + 1.0);
    const QPointF baseR = pivot + QPointF(2.2, -hub + 1.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(88, 122, 170));
    p.drawPolygon(QPolygonF({tip, shoulderL, baseL, pivot + QPointF(0, -hub + 1.0)}));
    p.setBrush(QColor(34, 56, 92));
    p.drawPolygon(QPolygonF({tip, pivot + QPointF(0, -hub + 1.0), baseR, shoulderR}));
    p.setPen(thinPen(QColor(22, 34, 56), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({tip, shoulderL, baseL, baseR, shoulderR}));
    QPolygonF inlay({pivot + QPointF(0, -length + 9.0), pivot + QPointF(-1.5, -length * 0.58),
                     pivot + QPointF(0, -hub - 6.0), pivot + QPointF(1.5, -length * 0.58)});
    p.setPen(thinPen(QColor(200, 190, 160), 0.4));
    p.setBrush(QColor(246, 240, 220));
    p.drawPolygon(inlay);

    QRadialGradient boss(pivot + QPointF(-1.5, -1.5), hub * 1.4);
    boss.setColorAt(0.0, QColor(120, 150, 192));
    boss.setColorAt(1.0, QColor(28, 46, 78));
    p.setPen(thinPen(QColor(22, 34, 56), 0.8));
    p.setBrush(boss);
    p.drawEllipse(pivot, hub, hub);
    p.setPen(thinPen(c.brassDark, 0.5));
    p.setBrush(brassAcross(pivot + QPointF(-1.6, -1.6), pivot + QPointF(1.6, 1.6)));
    p.drawEllipse(pivot, 1.6, 1.6);
    return image;
}

} // namespace zorvast::pointing::ui
