#pragma once

#include <QLabel>
#include <QString>

namespace zorvast::info::ui {

// The rich text of a one-link label: the caption as the link. Counting-down captions
// ("稍等...(9)") are written through this too, so the label stays a link.
QString linkText(const QString& caption);

// A label showing one link whose clicks arrive as linkActivated.
QLabel* makeLinkLabel(const QString& caption, QWidget* parent);

} // namespace zorvast::info::ui
