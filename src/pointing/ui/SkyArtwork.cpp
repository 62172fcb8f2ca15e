// The side view's scene: sky, elevation scale, horizon, earth and the mast.
#include "pointing/ui/ArtworkKit.h"

#include <QPainterPath>

namespace zorvast::pointing::ui {

using namespace artwork;

void artwork::drawSideScene(QPainter& p) {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    const QPointF pivot(kSidePivotX, kSidePivotY);
    const QRectF window(547.5, 34.5, 182, 206);
    QPainterPath windowPath;
    windowPath.addRoundedRect(window, 6, 6);

    p.save();
    p.setClipPath(windowPath);
    QLinearGradient sky(0, window.top(), 0, kGroundY);
    sky.setColorAt(0.0, d.skyHigh);
    sky.setColorAt(0.5, d.skyMiddle);
    sky.setColorAt(1.0, d.skyLow);
    p.fillRect(window, sky);

    // Elevation scale in the sky quadrant.
    const double scale = 94.0;
    p.setPen(thinPen(d.scaleArc, 1.0));
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
                        d.scaleFigures);
    }

    // Horizon through the pivot.
    QPen horizon(d.horizon, 1.0, Qt::DashLine);
    horizon.setDashPattern({5.0, 3.0});
    p.setPen(horizon);
    p.drawLine(QPointF(window.left() + 4, pivot.y() + 0.5),
               QPointF(window.right() - 4, pivot.y() + 0.5));

    // Earth.
    QLinearGradient earth(0, kGroundY, 0, window.bottom());
    earth.setColorAt(0.0, d.earthTop);
    earth.setColorAt(1.0, d.earthBottom);
    p.fillRect(QRectF(window.left(), kGroundY, window.width(), window.bottom() - kGroundY), earth);
    p.setPen(thinPen(d.earthHatch, 0.8));
    for (double x = window.left() - 8; x < window.right(); x += 6.0) {
        p.drawLine(QPointF(x, window.bottom()), QPointF(x + 8, kGroundY + 0.5));
    }
    p.setPen(thinPen(d.groundLine, 1.4));
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

    p.setPen(thinPen(d.windowFrame, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(windowPath);
    p.setPen(thinPen(d.rimGlint, 1.0));
    p.drawRoundedRect(window.adjusted(-1, -1, 1, 1), 7, 7);
}

} // namespace zorvast::pointing::ui
