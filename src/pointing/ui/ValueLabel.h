// The read-only value boxes of the pointing tab and its sun windows: a sunken panel with bold
// dark-blue text on near-white.
#pragma once

#include <QLabel>

namespace zorvast::pointing::ui {

QLabel* makeValueLabel(QWidget* parent, int pointSize);

} // namespace zorvast::pointing::ui
