// The watch: its face on the background and the hour hand that turns over it.
#include "pointing/ui/ArtworkKit.h"

#include <QPolygonF>
#include <QRadialGradient>

namespace zorvast::pointing::ui {

using namespace artwork;

void artwork::drawWatchFace(QPainter& p) {
    const DiagramPalette& d = diagramPalette();
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
    p.setPen(thinPen(d.rimGlint, 0.8));
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
        p.setBrush(d.hourBaton);
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

QImage hourHandPicture() {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kHourHandSpriteSide);
    QPainter p(&image);
    prepare(p);
    const QPointF pivot(kHourHandSpriteSide / 2.0, kHourHandSpriteSide / 2.0);
    const double length = kHourHandLength;
    const double hub = kHourHandHubRadius;

    // A faceted lance of blued steel with a light inlay; the lit half on the left.
    const QPointF tip = pivot + QPointF(0, -length);
    const QPointF shoulderL = pivot + QPointF(-3.8, -length * 0.62);
    const QPointF shoulderR = pivot + QPointF(3.8, -length * 0.62);
    const QPointF baseL = pivot + QPointF(-2.2, -hub + 1.0);
    const QPointF baseR = pivot + QPointF(2.2, -hub + 1.0);
    p.setPen(Qt::NoPen);
    p.setBrush(d.handLit);
    p.drawPolygon(QPolygonF({tip, shoulderL, baseL, pivot + QPointF(0, -hub + 1.0)}));
    p.setBrush(d.handShaded);
    p.drawPolygon(QPolygonF({tip, pivot + QPointF(0, -hub + 1.0), baseR, shoulderR}));
    p.setPen(thinPen(d.handEdge, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({tip, shoulderL, baseL, baseR, shoulderR}));
    QPolygonF inlay({pivot + QPointF(0, -length + 9.0), pivot + QPointF(-1.5, -length * 0.58),
                     pivot + QPointF(0, -hub - 6.0), pivot + QPointF(1.5, -length * 0.58)});
    p.setPen(thinPen(d.inlayEdge, 0.4));
    p.setBrush(d.inlay);
    p.drawPolygon(inlay);

    QRadialGradient boss(pivot + QPointF(-1.5, -1.5), hub * 1.4);
    boss.setColorAt(0.0, d.bossLight);
    boss.setColorAt(1.0, d.bossDark);
    p.setPen(thinPen(d.handEdge, 0.8));
    p.setBrush(boss);
    p.drawEllipse(pivot, hub, hub);
    p.setPen(thinPen(c.brassDark, 0.5));
    p.setBrush(brassAcross(pivot + QPointF(-1.6, -1.6), pivot + QPointF(1.6, 1.6)));
    p.drawEllipse(pivot, 1.6, 1.6);
    return image;
}

} // namespace zorvast::pointing::ui
