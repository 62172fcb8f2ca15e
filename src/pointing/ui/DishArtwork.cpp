// The dish pictures: the prime-focus dish and the offset dish from above and from the side.
#include "pointing/ui/ArtworkKit.h"

#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace zorvast::pointing::ui {

using namespace artwork;

void artwork::drawDishFace(QPainter& p, QPointF centre, double rx, double ry) {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QLinearGradient inside(centre.x(), centre.y() - ry, centre.x(), centre.y() + ry);
    inside.setColorAt(0.0, d.bowlDeep);
    inside.setColorAt(0.5, d.bowlMiddle);
    inside.setColorAt(1.0, d.bowlNear);
    p.setPen(Qt::NoPen);
    p.setBrush(inside);
    p.drawEllipse(centre, rx, ry);
    p.setBrush(Qt::NoBrush);
    p.setPen(thinPen(d.bowlRing, 0.7));
    p.drawEllipse(centre + QPointF(0, -ry * 0.2), rx * 0.62, ry * 0.55);
    p.setPen(thinPen(c.steelLight, 2.2));
    p.drawEllipse(centre, rx - 0.6, ry - 0.6);
    p.setPen(thinPen(c.outline, 0.8));
    p.drawEllipse(centre, rx + 0.4, ry + 0.4);
}

QImage primeDishPicture() {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kDishSpriteSide);
    QPainter p(&image);
    prepare(p);

    // The aperture passes through the centre; the bowl lies behind it (up), the feed in front.
    const double cx = kDishSpriteSide / 2.0;
    const double ay = kDishSpriteSide / 2.0;
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
    p.setPen(thinPen(d.stiffeningRing, 0.8));
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
    p.setPen(thinPen(d.boxGleam, 0.7));
    p.drawLine(QPointF(box.left() + 2, box.top() + 5), QPointF(box.right() - 2, box.top() + 5));
    const QRectF plug(cx - 2.4, box.bottom(), 4.8, 6.0);
    p.setPen(thinPen(c.brassDark, 0.7));
    p.setBrush(brassAcross(plug.topLeft(), plug.topRight()));
    p.drawRect(plug);
    p.setPen(thinPen(c.outline, 0.8));
    p.setBrush(metalAcross(QPointF(cx - 15, 0), QPointF(cx + 15, 0)));
    p.drawEllipse(QPointF(cx, focusY), 15.0, 3.2);
    p.setPen(thinPen(d.scalarRing, 0.6));
    p.drawEllipse(QPointF(cx, focusY - 0.3), 9.0, 1.8);
    return image;
}

QImage offsetDishTopPicture() {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kDishSpriteSide);
    QPainter p(&image);
    prepare(p);

    const double cx = kDishSpriteSide / 2.0;
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
    p.setBrush(d.hornLip);
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
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QImage image = blankPicture(kDishSpriteSide);
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
    const QPointF centre(kDishSpriteSide / 2.0, kDishSpriteSide / 2.0);
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
        p.setBrush(d.hornLip);
        p.drawRoundedRect(QRectF(-3.0, -9.5, 2.5, 19.0), 1, 1);
        p.setBrush(metalAcross(QPointF(0, -7.5), QPointF(0, 7.5)));
        p.drawRoundedRect(QRectF(11.0, -7.8, 5.0, 15.6), 1, 1);
    }
    return image;
}

} // namespace zorvast::pointing::ui
