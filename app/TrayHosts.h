#pragma once

#include <QObject>

namespace folioport {

/// Which kinds of system tray host run now. A tray icon shows only in a host of the protocol it speaks:
/// StatusNotifierItem over D-Bus, or, on X11, XEmbed.
struct TrayHostsPresent {
    bool statusNotifier = false;
    bool xembed = false;
};

/// The system tray hosts as they come and go; the desktop's watcher, or one a test moves.
class TrayHosts : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    virtual TrayHostsPresent present() const = 0;

Q_SIGNALS:
    /// Each time `present()` changes.
    void changed();
};

}  // namespace folioport
