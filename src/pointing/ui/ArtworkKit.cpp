#include "pointing/ui/ArtworkKit.h"

#include <QFontMetricsF>
#include <QRadialGradient>
#include <cmath>

namespace zorvast::pointing::ui::artwork {

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

QPen thinPen(const QColor& colour, double width) {
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
    const DiagramPalette& d = diagramPalette();
    QRadialGradient g(centre + QPointF(1.2, 2.0), radius + 4.0);
    const double inner = radius / (radius + 4.0);
    g.setColorAt(0.0, d.discShadow);
    g.setColorAt(inner * 0.97, d.discShadow);
    g.setColorAt(1.0, d.discShadowEdge);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre + QPointF(1.2, 2.0), radius + 4.0, radius + 4.0);
}

} // namespace zorvast::pointing::ui::artwork
