// Small builders the tabs share, so their lists and captions look and behave alike.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QString>

namespace zorvast::common::ui {

// A drop-down list that is filled later: not editable, its width the layout's, not the items'.
inline QComboBox* makeList(QWidget* parent, int contentsLength = 4) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(contentsLength);
    list->setMaxVisibleItems(20);
    return list;
}

// A caption set right-aligned beside its field.
inline QLabel* makeCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace zorvast::common::ui
