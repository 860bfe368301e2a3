#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <vector>

#include "app/TrayHosts.h"

class QDBusServiceWatcher;

namespace folioport {

/// The desktop's tray hosts: a StatusNotifierItem host on the session bus, and, on X11, the owner of an
/// XEmbed tray selection. Event-driven, without polling: the bus announces the watcher's name, the X server
/// (XFixes) the selection's owner.
class TrayHostWatcher : public TrayHosts, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TrayHostWatcher(QObject* parent = nullptr);
    ~TrayHostWatcher() override;

    TrayHostsPresent present() const override { return {statusNotifierHost_, xembedTrayOwned_}; }

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
