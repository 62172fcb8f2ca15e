// What a user does to a window in the GUI tests: clicks, typing into boxes, choosing from lists
// with the keyboard, and the controls found by their object names.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace zorvast::testing::gui {

inline void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Replaces the box's text the way a user does: select all, then type (ASCII only).
inline void typeInto(QLineEdit* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(edit, text);
    }
}

// Arrow keys on a closed list until `row` is the current item; every step is a choice the
// list reports, as it is for a user.
inline void choose(QComboBox* list, int row) {
    for (int before = -2; list->currentIndex() != row && list->currentIndex() != before;) {
        before = list->currentIndex();
        QTest::keyClick(list, list->currentIndex() < row ? Qt::Key_Down : Qt::Key_Up);
    }
}

// A control by its object name; the test cannot go on without it.
template <typename T> T* part(const QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        qFatal("no %s named \"%s\"", T::staticMetaObject.className(), name);
    }
    return found;
}

// What the widget shows now.
inline QImage picture(QWidget* widget) {
    return widget->grab().toImage();
}

} // namespace zorvast::testing::gui
