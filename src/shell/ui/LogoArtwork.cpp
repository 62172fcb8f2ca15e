#include "shell/ui/LogoArtwork.h"
#include "common/ui/ArtworkPalette.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QToolButton>

#include <system_error>

namespace zorvast::shell::ui {

namespace {

// The colours of the pointing diagram, so the logo sits with the rest of the artwork.
using Palette = common::ui::ArtworkPalette;
const Palette& kPalette = common::ui::artworkPalette();

const char* const kLogoProperty = "zorvastLogoPicture";

QColor brighter(const QColor& colour, bool bright) {
    return bright ? colour.lighter(118) : colour;
}

// The emblem in a 100 × 100 box: a dish on a short post, its feed arm and two signal arcs.
void drawDish(QPainter& p, bool bright) {
    const Palette& c = kPalette;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Signal arcs, coming in from the upper right.
    for (int i = 0; i < 3; ++i) {
        const double r = 12 + 9 * i;
        QPen pen(brighter(i == 0 ? c.accent : c.blue, bright), 3.2 - 0.6 * i, Qt::SolidLine,
                 Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(92 - r, 8 - r, 2 * r, 2 * r), 190 * 16, 70 * 16);
    }

    // Post and foot.
    QLinearGradient post(QPointF(40, 0), QPointF(52, 0));
    post.setColorAt(0, c.steelMid);
    post.setColorAt(0.45, c.steelHigh);
    post.setColorAt(1, c.steelDark);
    p.setPen(QPen(c.outline, 1.1));
    p.setBrush(post);
    p.drawRect(QRectF(41, 60, 10, 26));
    QPainterPath foot;
    foot.moveTo(28, 94);
    foot.lineTo(64, 94);
    foot.lineTo(56, 85);
    foot.lineTo(36, 85);
    foot.closeSubpath();
    QLinearGradient footFill(QPointF(0, 85), QPointF(0, 94));
    footFill.setColorAt(0, c.steel);
    footFill.setColorAt(1, c.steelDark);
    p.setBrush(footFill);
    p.drawPath(foot);

    // The dish: a tilted ellipse with a steel face and a darker rim.
    p.save();
    p.translate(40, 46);
    p.rotate(35);
    QRadialGradient face(QPointF(-8, -6), 40);
    face.setColorAt(0, bright ? QColor(255, 255, 252) : c.steelHigh);
    face.setColorAt(0.55, brighter(c.steelLight, bright));
    face.setColorAt(1, brighter(c.steelMid, bright));
    p.setPen(QPen(c.steelDark, 2.4));
    p.setBrush(face);
    p.drawEllipse(QRectF(-34, -16, 68, 32));
    p.setPen(QPen(c.steelMid, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(-24, -10.5, 48, 21));
    // The back of the dish shows as a crescent below the face.
    QPainterPath back;
    back.moveTo(-34, 0);
    back.cubicTo(-30, 26, 30, 26, 34, 0);
    back.cubicTo(30, 18, -30, 18, -34, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(c.steelDark);
    p.drawPath(back);

    // Feed arm and the feed head at the focus.
    p.setPen(QPen(c.steelDark, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 14), QPointF(0, -34));
    QLinearGradient feed(QPointF(-5, 0), QPointF(5, 0));
    feed.setColorAt(0, brighter(c.brassLight, bright));
    feed.setColorAt(0.5, brighter(c.brass, bright));
    feed.setColorAt(1, c.brassDark);
    p.setPen(QPen(c.brassDark, 1.0));
    p.setBrush(feed);
    p.drawRoundedRect(QRectF(-5, -44, 10, 12), 2.5, 2.5);
    p.restore();

    if (bright) {
        // The glint on the rim.
        QRadialGradient glint(QPointF(16, 29), 12);
        glint.setColorAt(0, QColor(255, 255, 250, 255));
        glint.setColorAt(1, QColor(255, 255, 250, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glint);
        p.drawEllipse(QPointF(16, 29), 12, 12);
        p.setPen(QPen(QColor(255, 255, 250), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 21), QPointF(16, 37));
        p.drawLine(QPointF(8, 29), QPointF(24, 29));
    }
    p.restore();
}

QPixmap logoPicture(bool bright) {
    const Palette& c = kPalette;
    const qreal ratio = 2.0; // drawn at twice the size so HiDPI screens stay sharp
    QPixmap picture(kLogoPictureSize * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.save();
    p.translate(3, 3);
    p.scale(0.52, 0.52);
    drawDish(p, bright);
    p.restore();

    QFont word(QStringLiteral("DejaVu Sans"));
    word.setPixelSize(27);
    word.setBold(true);
    word.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    QPainterPath wordPath;
    wordPath.addText(QPointF(58, 31), word, QStringLiteral("Zorvast"));
    QLinearGradient wordFill(QPointF(0, 10), QPointF(0, 32));
    wordFill.setColorAt(0, brighter(c.blueLight, bright));
    wordFill.setColorAt(0.5, brighter(c.blue, bright));
    wordFill.setColorAt(1, c.blueDark);
    p.setPen(QPen(c.blueDark, 0.7));
    p.setBrush(wordFill);
    p.drawPath(wordPath);

    // The accent rule between the word and the subtitle.
    p.setPen(QPen(brighter(c.accent, bright), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(59, 37), QPointF(178, 37));

    QFont subtitle(QStringLiteral("WenQuanYi Micro Hei"));
    subtitle.setPixelSize(13);
    subtitle.setLetterSpacing(QFont::AbsoluteSpacing, 3.2);
    p.setFont(subtitle);
    p.setPen(bright ? c.ink : c.inkSoft);
    p.drawText(QRectF(58, 39, 124, 17), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("卫视寻星资讯"));
    return picture;
}

// White turns transparent, the way the logo button shows its pictures.
QPixmap withoutWhite(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00ffffffu) == 0x00ffffffu && qAlpha(line[x]) == 255) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(picture.devicePixelRatio());
    return result;
}

// The button is 182 wide; the logo's right margin is empty, so it is cut there.
QPixmap forButton(const QPixmap& picture) {
    const qreal ratio = picture.devicePixelRatio();
    QPixmap cut = picture.copy(QRect(QPoint(0, 0), kBlankLogoSize * ratio));
    cut.setDevicePixelRatio(ratio);
    return withoutWhite(cut);
}

} // namespace

QPixmap logoPictureA() {
    return logoPicture(false);
}

QPixmap logoPictureB() {
    return logoPicture(true);
}

QPixmap blankLogoPicture() {
    QPixmap picture(kBlankLogoSize);
    picture.fill(Qt::transparent);
    return picture;
}

QIcon applicationIcon() {
    const Palette& c = kPalette;
    QPixmap picture(256, 256);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient badge(QPointF(0, 8), QPointF(0, 248));
    badge.setColorAt(0, QColor(247, 247, 244));
    badge.setColorAt(1, QColor(222, 226, 230));
    p.setPen(QPen(c.steelMid, 4));
    p.setBrush(badge);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    p.translate(20, 16);
    p.scale(2.16, 2.16);
    drawDish(p, false);
    p.end();
    QIcon icon;
    icon.addPixmap(picture);
    return icon;
}

bool writeApplicationIconFile(const std::filesystem::path& pngFile) {
    constexpr QSize kIconSize(256, 256);
    // At a ratio of 1, whatever the screen's, so the file is exactly 256 pixels square.
    QImage image = applicationIcon().pixmap(kIconSize, 1.0).toImage();
    if (image.isNull()) {
        return false;
    }
    if (image.size() != kIconSize) {
        image = image.scaled(kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(1.0);
    std::error_code error;
    if (pngFile.has_parent_path()) {
        std::filesystem::create_directories(pngFile.parent_path(), error);
        if (error) {
            return false;
        }
    }
    // Written beside the target and renamed over it: a desktop never reads half a picture.
    QSaveFile file(QString::fromStdString(pngFile.string()));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void setLogoButtonPicture(QToolButton* button, LogoPicture normal) {
    if (button == nullptr) {
        return;
    }
    QPixmap picture;
    switch (normal) {
    case LogoPicture::A:
        picture = forButton(logoPictureA());
        break;
    case LogoPicture::B:
        picture = forButton(logoPictureB());
        break;
    case LogoPicture::Blank:
        picture = blankLogoPicture();
        break;
    }
    QIcon icon;
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(forButton(logoPictureB()), QIcon::Active);
    button->setIcon(icon);
    button->setProperty(kLogoProperty, static_cast<int>(normal));
}

LogoPicture logoButtonPicture(const QToolButton* button) {
    const QVariant value = button ? button->property(kLogoProperty) : QVariant();
    return value.isValid() ? static_cast<LogoPicture>(value.toInt()) : LogoPicture::Blank;
}

} // namespace zorvast::shell::ui
