#include "pointing/ui/ValueLabel.h"

#include <QColor>
#include <QFont>
#include <QPalette>

namespace zorvast::pointing::ui {

QLabel* makeValueLabel(QWidget* parent, int pointSize) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(250, 250, 255));
    palette.setColor(QPalette::WindowText, QColor(30, 60, 160));
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(pointSize);
    label->setFont(font);
    return label;
}

} // namespace zorvast::pointing::ui
