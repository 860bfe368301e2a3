#pragma once

#include <QObject>

class QDBusMessage;

namespace folioport {

/// Announces, from session bus events and without polling, each moment the desktop keyring may have become
/// readable: the Secret Service taking its name on the bus, or one of its collections changing (unlocked,
/// locked, created). Without a session bus it announces nothing.
class KeyringWatcher : public QObject {
    Q_OBJECT

public:
    explicit KeyringWatcher(QObject* parent = nullptr);

Q_SIGNALS:
    void mayHaveChanged();

private Q_SLOTS:
    void collectionChanged(const QDBusMessage& signal);
};

}  // namespace folioport
