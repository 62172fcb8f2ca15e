// The feeds: the graduated plate on the background and the two feed pictures turned over it.
#include "pointing/ui/ArtworkKit.h"

#include <QPolygonF>
#include <QRadialGradient>

namespace zorvast::pointing::ui {

using namespace artwork;

void artwork::drawFeedPlate(QPainter& p) {
    const DiagramPalette& d = diagramPalette();
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
    hole.setColorAt(0.0, d.recessLight);
    hole.setColorAt(1.0, d.recessShade);
    p.setPen(thinPen(c.steelDark, 0.9));
    p.setBrush(hole);
    p.drawEllipse(centre, recess, recess);
    p.setPen(thinPen(d.recessGlint, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(
        QRectF(centre.x() - recess + 1, centre.y() - recess + 1, 2 * recess - 2, 2 * recess - 2),
        -60 * 16, -150 * 16);
}

QImage primeFeedPicture() {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kPrimeFeedSpriteSide);
    QPainter p(&image);
    prepare(p);
    const QPointF centre(kPrimeFeedSpriteSide / 2.0, kPrimeFeedSpriteSide / 2.0);
    const double flange = 34.0;

    // Circuit box behind the horn, reaching up-left.
    {
        LocalFrame frame(p, centre, -135.0);
        const QRectF box(12.0, -15.0, 50.0, 30.0);
        p.setPen(thinPen(c.outline, 0.9));
        p.setBrush(paintedBlue(QPointF(0, -15), QPointF(0, 15)));
        p.drawRoundedRect(box, 4, 4);
        const QRectF lid = box.adjusted(3.0, 3.0, -3.0, -3.0);
        p.setPen(thinPen(d.lidEdge, 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(lid, 2.5, 2.5);
        p.setPen(thinPen(d.lidGleam, 0.8));
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
        p.setPen(thinPen(d.chokeShadow, 0.6));
        p.drawEllipse(centre, r - 1.2, r - 1.2);
    }
    const double throat = 13.0;
    QRadialGradient dark(centre + QPointF(2, 2), throat);
    dark.setColorAt(0.0, d.throatDeep);
    dark.setColorAt(0.7, d.throatMiddle);
    dark.setColorAt(1.0, d.throatEdge);
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
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kOffsetLnbSpriteSide);
    QPainter p(&image);
    prepare(p);
    const QPointF centre(kOffsetLnbSpriteSide / 2.0, kOffsetLnbSpriteSide / 2.0);
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
        p.setPen(thinPen(d.threadEdge, 0.6));
        p.drawLine(QPointF(27.2, -3.5), QPointF(32.8, -3.5));
        p.drawLine(QPointF(27.2, 3.5), QPointF(32.8, 3.5));
        p.setPen(thinPen(c.brassDark, 0.7));
        p.setBrush(brassAcross(QPointF(0, -4.5), QPointF(0, 4.5)));
        p.drawRect(QRectF(33.0, -4.5, 10.0, 9.0));
        p.setPen(thinPen(d.thread, 0.6));
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
    p.setPen(thinPen(d.hornInnerRing, 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, horn - 3.0, horn - 3.0);
    QRadialGradient cap(centre + QPointF(-5, -6), 18.0);
    cap.setColorAt(0.0, d.capLight);
    cap.setColorAt(0.55, d.capMiddle);
    cap.setColorAt(1.0, d.capDark);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(cap);
    p.drawEllipse(centre, horn - 5.0, horn - 5.0);
    p.setPen(thinPen(d.capGleam, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - 12, centre.y() - 12, 24, 24), 110 * 16, 60 * 16);
    p.setPen(thinPen(d.capCentre, 0.7));
    p.drawEllipse(centre, 4.0, 4.0);
    return image;
}

} // namespace zorvast::pointing::ui
