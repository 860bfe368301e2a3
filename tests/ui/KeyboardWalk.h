#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QTest>

namespace folioport::testing {

/// The object names of the focus widget and the next `steps` ones that Tab moves to, from `start`.
inline QStringList tabWalk(QWidget* start, int steps) {
    start->setFocus(Qt::TabFocusReason);
    QStringList walked{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    return walked;
}

/// Visible buttons of `root` that a screen reader could not name or would not announce as buttons.
inline QStringList unnamedButtons(const QWidget& root) {
    QStringList unnamed;
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        const bool announced = accessible && !accessible->text(QAccessible::Name).isEmpty() &&
                               (accessible->role() == QAccessible::Button || accessible->role() == QAccessible::ButtonMenu ||
                                accessible->role() == QAccessible::CheckBox ||
                                accessible->role() == QAccessible::RadioButton);
        if (!announced) unnamed << button->objectName();
    }
    return unnamed;
}

}  // namespace folioport::testing
