#include "app/TrayActivation.h"

#include <QDBusMessage>

// why: Qt's hook for watching calls to exported objects; exported by QtDBus though not in its headers. It
// runs on the main thread just before the call reaches Qt's tray item, which then reports the click.
void qDBusAddSpyHook(void (*hook)(const QDBusMessage&));

namespace folioport {

namespace {

std::optional<QPoint> lastActivation;

void noteActivation(const QDBusMessage& call) {
    if (call.interface() != QLatin1String("org.kde.StatusNotifierItem") || call.member() != QLatin1String("Activate"))
        return;
    const QList<QVariant> arguments = call.arguments();
    if (arguments.size() == 2) lastActivation = QPoint(arguments[0].toInt(), arguments[1].toInt());
}

}  // namespace

void noteTrayActivationPositions() {
    static const bool installed = (qDBusAddSpyHook(noteActivation), true);
    (void)installed;
}

std::optional<QPoint> takeTrayActivationPosition() { return std::exchange(lastActivation, std::nullopt); }

}  // namespace folioport
