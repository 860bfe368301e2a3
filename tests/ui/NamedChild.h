#pragma once

#include <QString>
#include <QWidget>

namespace folioport::testing {

/// The descendant of `parent` with this object name and type; a missing one ends the test run at once.
template <class T = QWidget>
T* namedChild(const QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no widget named %s", name);
    return widget;
}

}  // namespace folioport::testing
