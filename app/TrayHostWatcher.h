#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <vector>

class QDBusServiceWatcher;

namespace folioport {

/// Whether a system tray host is running, and when one comes or goes: a StatusNotifierItem host on the
/// session bus, or, on X11, the owner of an XEmbed tray selection. Event-driven, without polling: the bus
/// announces the watcher's name, the X server (XFixes) the selection's owner.
class TrayHostWatcher : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TrayHostWatcher(QObject* parent = nullptr);
    ~TrayHostWatcher() override;

    bool hostPresent() const { return statusNotifierHost_ || xembedTrayOwned_; }

Q_SIGNALS:
    /// Each time `hostPresent()` changes.
    void hostPresentChanged(bool present);

private Q_SLOTS:
    void askWhetherHostRegistered();

private:
    void watchStatusNotifierHost();
    void watchXEmbedSelection();
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void update(bool& field, bool value);

    QDBusServiceWatcher* busWatcher_ = nullptr;
    bool statusNotifierHost_ = false;
    bool xembedTrayOwned_ = false;
    uint8_t xfixesFirstEvent_ = 0;
    std::vector<uint32_t> traySelections_;  // _NET_SYSTEM_TRAY_S<n>, one per X screen
    std::vector<uint32_t> ownedSelections_;
};

}  // namespace folioport
