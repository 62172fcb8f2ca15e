#include "pointing/ui/DiagramCanvas.h"

#include "pointing/ui/DiagramArtwork.h"

#include <QPainter>

#include <chrono>

namespace zorvast::pointing::ui {

namespace {

std::int64_t steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QColor colourOf(const Rgb& rgb) {
    return {rgb.r, rgb.g, rgb.b};
}

QImage pictureFor(SpriteId id) {
    switch (id) {
    case SpriteId::DishTopPrime:
    case SpriteId::DishSidePrime:
        return primeDishPicture();
    case SpriteId::DishTopOffset:
        return offsetDishTopPicture();
    case SpriteId::DishSideOffset:
        return offsetDishSidePicture();
    case SpriteId::FeedPrime:
        return primeFeedPicture();
    case SpriteId::FeedOffset:
        return offsetLnbPicture();
    case SpriteId::HourHand:
        return hourHandPicture();
    }
    return {};
}

// Font sizes are points of a 96-dpi screen, kept in pixels so the layout does not move with
// the display's resolution.
QFont fontFor(const QFont& base, int size, bool bold) {
    QFont font = base;
    // Narrow digits: the values at the right edge must fit the canvas.
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), base.family()});
    font.setPixelSize(std::max(1, (size * 96 + 36) / 72));
    font.setBold(bold);
    return font;
}

// Sprites painted under the texts, the top views first.
constexpr SpriteId kPaintOrder[] = {
    SpriteId::DishTopPrime, SpriteId::DishTopOffset, SpriteId::HourHand,      SpriteId::FeedPrime,
    SpriteId::FeedOffset,   SpriteId::DishSidePrime, SpriteId::DishSideOffset};

} // namespace

DiagramCanvas::DiagramCanvas(QWidget* parent, Now now)
    : QWidget(parent), now_(now ? std::move(now) : Now(steadyMilliseconds)) {
    setFixedSize(kDiagramWidth, kDiagramHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(kTurnIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { advanceTurns(); });
}

void DiagramCanvas::createSprites() {
    if (created_) {
        return;
    }
    created_ = true;
    background_ = diagramBackground();
    const SpriteStates initial = initialSpriteStates();
    for (const SpriteSetup& setup : spriteSetups()) {
        LiveSprite& sprite = sprites_[indexOf(setup.id)];
        sprite.picture = pictureFor(setup.id);
        sprite.topLeft = {setup.left, setup.top};
        sprite.state = initial[indexOf(setup.id)];
    }
    update();
}

SpriteStates DiagramCanvas::spriteStates() const {
    SpriteStates states;
    for (std::size_t i = 0; i < kSpriteCount; ++i) {
        states[i] = sprites_[i].state;
    }
    return states;
}

void DiagramCanvas::advanceTurns() {
    const std::int64_t now = now_();
    bool any = false;
    for (std::size_t i = 0; i < kSpriteCount; ++i) {
        LiveSprite& sprite = sprites_[i];
        if (!sprite.turning) {
            continue;
        }
        const std::int64_t elapsed = now - sprite.turnStart;
        sprite.state.angle = turnedAngle(sprite.turnFrom, turns_[i], elapsed);
        sprite.turning = !turnFinished(turns_[i], elapsed);
        any = any || sprite.turning;
    }
    if (!any) {
        timer_.stop();
    }
    update();
}

void DiagramCanvas::updateSprites(const DiagramStep& step) {
    // A turn in progress ends where it has got to; the new one starts there.
    advanceTurns();
    planner_.setSpriteStates(spriteStates());
    planner_.updateSprites(step);
    const SpritePlan& plan = planner_.spritePlan();
    const std::int64_t now = now_();
    bool any = false;
    for (std::size_t i = 0; i < kSpriteCount; ++i) {
        LiveSprite& sprite = sprites_[i];
        sprite.state = plan.states[i];
        turns_[i] = plan.turns[i].value_or(SpriteTurn{});
        sprite.turnFrom = sprite.state.angle;
        sprite.turnStart = now;
        sprite.turning = plan.turns[i].has_value() && !turnFinished(turns_[i], 0);
        any = any || sprite.turning;
    }
    if (any) {
        timer_.start();
    } else {
        timer_.stop();
    }
    update();
}

void DiagramCanvas::drawElevation(const DiagramStep& step) {
    planner_.drawElevation(step);
    update();
}

void DiagramCanvas::drawBearingTexts(const DiagramStep& step) {
    planner_.drawBearingTexts(step);
    update();
}

void DiagramCanvas::drawPolarisationTexts(const DiagramStep& step) {
    planner_.drawPolarisationTexts(step);
    update();
}

void DiagramCanvas::drawNoCoverageMarks(const DiagramStep& step) {
    planner_.drawNoCoverageMarks(step);
    update();
}

void DiagramCanvas::drawSignal(const DiagramStep& step) {
    planner_.drawSignal(step);
    update();
}

void DiagramCanvas::paintDrawings(QPainter& painter, bool texts) const {
    for (const Drawing& drawing : planner_.drawings()) {
        if (std::holds_alternative<DrawText>(drawing) != texts) {
            continue;
        }
        if (const auto* line = std::get_if<DrawLine>(&drawing)) {
            QPen pen(colourOf(line->colour), line->width,
                     line->dotted ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(line->x1, line->y1, line->x2, line->y2);
        } else if (const auto* pixel = std::get_if<DrawPixel>(&drawing)) {
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(QPen(colourOf(pixel->colour), 1));
            painter.drawPoint(pixel->x, pixel->y);
            painter.setRenderHint(QPainter::Antialiasing);
        } else if (const auto* frame = std::get_if<DrawRoundedRect>(&drawing)) {
            painter.setPen(QPen(colourOf(frame->colour), frame->width));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(
                QRectF(frame->x1, frame->y1, frame->x2 - frame->x1, frame->y2 - frame->y1), 5, 5);
        } else if (const auto* label = std::get_if<DrawText>(&drawing)) {
            painter.setFont(fontFor(font(), label->size, label->bold));
            painter.setPen(colourOf(label->colour));
            painter.drawText(QRect(label->x, label->y, width(), height()),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             QString::fromStdString(label->text));
        }
    }
}

void DiagramCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (background_.isNull()) {
        painter.fillRect(rect(), Qt::white);
    } else {
        painter.drawImage(0, 0, background_);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    // Lines under the sprites, so the dish face covers the inside of its fan; texts on top.
    paintDrawings(painter, false);
    for (SpriteId id : kPaintOrder) {
        const LiveSprite& sprite = sprites_[indexOf(id)];
        if (!sprite.state.visible || sprite.picture.isNull()) {
            continue;
        }
        const double half = sprite.picture.width() / 2.0;
        painter.save();
        // Positive angles turn clockwise about the picture's centre.
        painter.translate(sprite.topLeft.x() + half, sprite.topLeft.y() + half);
        painter.rotate(sprite.state.angle);
        if (sprite.state.mirrored) {
            painter.scale(-1, 1);
        }
        painter.drawImage(QPointF(-half, -half), sprite.picture);
        painter.restore();
    }

    paintDrawings(painter, true);
}

} // namespace zorvast::pointing::ui
