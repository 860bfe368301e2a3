#include "state/KeyringWatcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace folioport {
namespace {

const QString secretsName = QStringLiteral("org.freedesktop.secrets");
const QString secretsPath = QStringLiteral("/org/freedesktop/secrets");
const QString secretsInterface = QStringLiteral("org.freedesktop.Secret.Service");

}  // namespace

KeyringWatcher::KeyringWatcher(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto* names = new QDBusServiceWatcher(secretsName, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(names, &QDBusServiceWatcher::serviceRegistered, this, &KeyringWatcher::mayHaveChanged);
    // why: a collection's unlocking changes its Locked property, which the service announces as CollectionChanged.
    for (const char* signal : {"CollectionChanged", "CollectionCreated"})
        bus.connect(secretsName, secretsPath, secretsInterface, QString::fromLatin1(signal), this,
                    SLOT(collectionChanged(QDBusMessage)));
}

void KeyringWatcher::collectionChanged(const QDBusMessage&) { Q_EMIT mayHaveChanged(); }

}  // namespace folioport
