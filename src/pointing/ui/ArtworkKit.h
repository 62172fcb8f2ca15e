// The drawing kit shared by the diagram's pictures: shapes, pens, metal and paint gradients,
// fonts, and the parts of the background each drawn by its own file.
#pragma once

#include "common/ui/ArtworkPalette.h"
#include "pointing/ui/DiagramArtwork.h"
#include "pointing/ui/DiagramPalette.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QString>

#include <numbers>

namespace zorvast::pointing::ui::artwork {

using Palette = common::ui::ArtworkPalette;
inline const Palette& colours() {
    return common::ui::artworkPalette();
}

inline constexpr double kPi = std::numbers::pi;
double radians(double degrees);

// A point at distance r from c, at an angle measured clockwise from straight up.
QPointF polar(QPointF c, double r, double degreesFromUp);

// A transparent square picture.
QImage blankPicture(int side);
void prepare(QPainter& p);
QPen thinPen(const QColor& colour, double width = 0.9);

// Brushed metal across a part: darker at both edges, a highlight a little off the middle.
QLinearGradient metalAcross(QPointF from, QPointF to);
QLinearGradient paintedBlue(QPointF from, QPointF to);
QLinearGradient brassAcross(QPointF from, QPointF to);

QFont pixelFont(int pixels, bool bold);
// Draws a short text with its ink (not its line box) centred on a point.
void drawCentredText(QPainter& p, QPointF centre, const QString& text, const QFont& font,
                     const QColor& colour);
// A soft round shadow under a raised disc of the panel.
void discShadow(QPainter& p, QPointF centre, double radius);

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

// The face of a dish seen nearly edge-on: the inside of the bowl within a narrow ellipse, with a
// rolled rim.
void drawDishFace(QPainter& p, QPointF centre, double rx, double ry);

// The background's parts, each in its own file.
void drawCompassRose(QPainter& p);
void drawWatchFace(QPainter& p);
void drawFeedPlate(QPainter& p);
void drawSideScene(QPainter& p);

} // namespace zorvast::pointing::ui::artwork
