#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

namespace folioport::testing {

/// Whether a screen reader can name `control`, and announces a button as one.
inline bool announced(QWidget* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty()) return false;
    if (!qobject_cast<QAbstractButton*>(control)) return true;
    const QAccessible::Role role = accessible->role();
    return role == QAccessible::Button || role == QAccessible::ButtonMenu || role == QAccessible::CheckBox ||
           role == QAccessible::RadioButton;
}

/// Tabs through the window from `start` until focus comes back to it and lists every stop by object name,
/// so one comparison with the expected order checks a whole window. A stop a screen reader cannot name is
/// listed as "name (unnamed)"; after the walk come the window's other visible buttons and fields, and its
/// menus, that it cannot name (disabled controls are no stops but are still read out).
inline QStringList keyboardWalk(QWidget* start) {
    constexpr int stopLimit = 100;  // a focus chain that never comes back to `start` still ends
    auto listed = [](QWidget* control) {
        return announced(control) ? control->objectName() : control->objectName() + QStringLiteral(" (unnamed)");
    };
    start->setFocus(Qt::TabFocusReason);
    QStringList walked;
    QList<QWidget*> stops;
    for (QWidget* focused = QApplication::focusWidget(); walked.size() < stopLimit;) {
        if (!focused) return walked << QStringLiteral("(focus lost)");
        walked << listed(focused);
        stops << focused;
        QTest::keyClick(focused, Qt::Key_Tab);
        focused = QApplication::focusWidget();
        if (focused == start) break;
    }
    for (QWidget* control : start->window()->findChildren<QWidget*>()) {
        const bool readOut = control->isVisible() && (qobject_cast<QAbstractButton*>(control) ||
                                                     qobject_cast<QLineEdit*>(control) ||
                                                     qobject_cast<QPlainTextEdit*>(control));
        if ((readOut || qobject_cast<QMenu*>(control)) && !stops.contains(control) && !announced(control))
            walked << listed(control);
    }
    return walked;
}

}  // namespace folioport::testing
