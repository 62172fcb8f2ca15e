// The compass rose of the background, under the dish's top view.
#include "pointing/ui/ArtworkKit.h"

#include <QPolygonF>
#include <QRadialGradient>

namespace zorvast::pointing::ui {

using namespace artwork;

void artwork::drawCompassRose(QPainter& p) {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    const QPointF centre(kCompassX, kCompassY);
    const double r = kCompassRadius;
    const double face = 72.0;

    discShadow(p, centre, r);

    // Bezel band carrying the graduation.
    QLinearGradient bezel(centre + QPointF(-r, -r), centre + QPointF(r, r));
    bezel.setColorAt(0.0, d.bezelLight);
    bezel.setColorAt(1.0, d.bezelShade);
    p.setPen(thinPen(c.steelDark, 1.2));
    p.setBrush(bezel);
    p.drawEllipse(centre, r, r);
    p.setPen(thinPen(d.rimGlint, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r - 1.5, r - 1.5);

    // Card.
    QRadialGradient card(centre, face);
    card.setColorAt(0.0, c.dialLight);
    card.setColorAt(1.0, d.cardEdge);
    p.setPen(thinPen(c.steelMid, 0.9));
    p.setBrush(card);
    p.drawEllipse(centre, face, face);

    // Faint bearing circles and the eight rose points.
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(d.bearingCircle, 0.7));
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
        const QColor lit = north ? d.northPointLit : d.rosePointLit;
        const QColor shaded = north ? d.northPointShaded : d.rosePointShaded;
        p.setPen(Qt::NoPen);
        p.setBrush(lit);
        p.drawPolygon(QPolygonF({centre, left, tip}));
        p.setBrush(shaded);
        p.drawPolygon(QPolygonF({centre, tip, right}));
        p.setPen(thinPen(d.rosePointEdge, 0.6));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(QPolygonF({centre, left, tip, right}));
    }
    p.setPen(thinPen(c.steelMid, 0.8));
    p.setBrush(d.roseHub);
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

} // namespace zorvast::pointing::ui
