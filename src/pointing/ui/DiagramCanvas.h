// The pointing diagram: the background picture, seven turning sprites and the free drawings of
// the last run, painted from the plan the pointing core makes.
#pragma once

#include "pointing/diagram/DiagramPlan.h"

#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

namespace zorvast::pointing::ui {

class DiagramCanvas : public QWidget, public PointingDiagram {
    Q_OBJECT
public:
    // Milliseconds on a steady clock; a test passes its own.
    using Now = std::function<std::int64_t()>;

    explicit DiagramCanvas(QWidget* parent = nullptr, Now now = {});

    // Pictures, corners and starting angles; the first call only does anything.
    void createSprites();

    // PointingDiagram
    void updateSprites(const DiagramStep& step) override;
    void drawElevation(const DiagramStep& step) override;
    void drawBearingTexts(const DiagramStep& step) override;
    void drawPolarisationTexts(const DiagramStep& step) override;
    void drawNoCoverageMarks(const DiagramStep& step) override;
    void drawSignal(const DiagramStep& step) override;

    // The sprites as shown now (angles reached so far).
    SpriteStates spriteStates() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // One timer tick: every turn moves to where its elapsed time puts it.
    void advanceTurns();
    void paintDrawings(QPainter& painter, bool texts) const;

    struct LiveSprite {
        QImage picture;
        QPoint topLeft;
        SpriteState state;
        int turnFrom = 0;
        std::int64_t turnStart = 0;
        bool turning = false;
    };

    Now now_;
    bool created_ = false;
    QImage background_;
    std::array<LiveSprite, kSpriteCount> sprites_;
    std::array<SpriteTurn, kSpriteCount> turns_{};
    DiagramPlanner planner_;
    QTimer timer_;
};

} // namespace zorvast::pointing::ui
