#include "pointing/ui/DiagramArtwork.h"

#include "pointing/ui/ArtworkKit.h"

#include <QLinearGradient>
#include <QPainter>

namespace zorvast::pointing::ui {

using namespace artwork;

namespace {

void drawPanel(QPainter& p) {
    const DiagramPalette& d = diagramPalette();
    const Palette& c = colours();
    QLinearGradient g(0, 0, 0, kDiagramHeight);
    g.setColorAt(0.0, c.panelTop);
    g.setColorAt(1.0, c.panelBottom);
    p.fillRect(QRectF(0, 0, kDiagramWidth, kDiagramHeight), g);

    // Engraved divider between the compass and the watch; it stays clear of the captions above
    // and below.
    p.setPen(thinPen(c.groove, 1.0));
    p.drawLine(QPointF(240.5, 60), QPointF(240.5, 226));
    p.setPen(thinPen(d.grooveLight, 1.0));
    p.drawLine(QPointF(241.5, 60), QPointF(241.5, 226));

    p.setPen(thinPen(c.frame, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, kDiagramWidth - 1, kDiagramHeight - 1));
}

} // namespace

QImage diagramBackground() {
    QImage image(kDiagramWidth, kDiagramHeight, QImage::Format_ARGB32_Premultiplied);
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

} // namespace zorvast::pointing::ui
