#pragma once

#include <QObject>

namespace folioport {

/// One application per user session, kept by a well-known name on the session bus (so a private bus,
/// as the demo and the tests use, is a session of its own). Without a session bus every launch runs.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessaly.folioport.Instance")

public:
    enum class Claim {
        first,       ///< this process holds the name: run
        handedOver,  ///< the running one took the launch over: end with status 0
        unanswered,  ///< one holds the name but did not answer in time
    };

    explicit SingleInstance(QObject* parent = nullptr);

    /// Takes the name, or asks the process holding it to come forward.
    Claim claim();

public Q_SLOTS:
    /// Called over the bus by a second launch.
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    /// A second launch asked this process to come forward.
    void activationRequested();
};

}  // namespace folioport
