#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <optional>

#include "app/AuxWindows.h"
#include "app/TrayHosts.h"
#include "ui/MenuBarPanel.h"

class QScreen;

namespace folioport {

class AppStore;
class Updater;
class TrayItem;

/// The application's scene: the tray item whose click toggles the panel, a frameless popup without a
/// taskbar entry placed under the icon, and the auxiliary windows the panel and the tray menu ask for.
/// Without a system tray the panel is an ordinary window instead, which stays while other windows come
/// and go and whose closing quits; a tray that appears later takes the application over, and when it
/// goes away for good (five seconds on the UI clock) the window comes back. Only a tray that shows Qt's
/// icon counts: Qt's icons speak one protocol for the life of the process. On Wayland, where a window cannot place itself, the panel
/// opened from the tray is a window the compositor places, and it closes when it loses the focus.
class Scene : public QObject {
    Q_OBJECT

public:
    /// `demo` marks the tooltip and the panel header "Demo"; `trayHosts` tells when tray hosts come and go.
    Scene(AppStore& store, Updater& updater, bool demo, std::unique_ptr<TrayHosts> trayHosts);
    ~Scene() override;

    /// Shows the tray item, or, without a system tray, says so on standard error and opens the panel.
    void start();
    /// What a second launch asks for: the panel opens, or its window comes forward.
    void comeForward();
    /// True while the panel opens from the tray icon, false while it is the application's window.
    bool opensFromTray() const { return tray_ != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Quits once every window has closed; a window that refuses (unsaved editor text) keeps it running.
    void quit();
    void togglePanel(QPoint pointer);
    void showPanel(QPoint pointer);
    /// The tray protocol Qt's icons speak, once the first icon has settled it.
    enum class IconProtocol { statusNotifierItem, xembed };
    /// True when a tray host runs that would show Qt's icon.
    bool iconHostPresent() const;
    /// Moves into the tray; false when no host would show the icon.
    bool enterTray();
    void enterWindow();
    /// Makes the panel window no larger than the available area of `screen`.
    void fitPanel(const QScreen& screen);
    void followTrayHosts();
    /// Ends a wait for the tray host to come back: the window returns unless it did.
    void trayWaitEnded(std::uint64_t wait);

    AppStore& store_;
    Updater& updater_;
    bool demo_;
    ui::MenuBarPanel panel_;
    AuxWindows windows_;
    std::unique_ptr<TrayItem> tray_;  // none while the panel is the application's window
    std::unique_ptr<TrayHosts> trayHosts_;
    std::optional<IconProtocol> iconProtocol_;
    bool waitingForTray_ = false;  // the tray host is away, and its icon with it
    std::uint64_t trayWaits_ = 0;  // numbers the waits, so that only the latest one may end in the window
    QElapsedTimer sinceHidden_;  // since the popup last closed
};

}  // namespace folioport
