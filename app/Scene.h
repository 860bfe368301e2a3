#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <memory>

#include "app/AuxWindows.h"
#include "app/TrayHostWatcher.h"
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
/// goes away for good the window comes back. On Wayland, where a window cannot place itself, the panel
/// opened from the tray is a window the compositor places, and it closes when it loses the focus.
class Scene : public QObject {
    Q_OBJECT

public:
    /// `demo` marks the tooltip and the panel header "Demo".
    Scene(AppStore& store, Updater& updater, bool demo);
    ~Scene() override;

    /// Shows the tray item, or, without a system tray, says so on standard error and opens the panel.
    void start();
    /// What a second launch asks for: the panel opens, or its window comes forward.
    void comeForward();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Quits once every window has closed; a window that refuses (unsaved editor text) keeps it running.
    void quit();
    void togglePanel(QPoint pointer);
    void showPanel(QPoint pointer);
    /// Moves into the tray; false when Qt cannot reach the tray host.
    bool enterTray();
    void enterWindow();
    /// Makes the panel window no larger than the available area of `screen`.
    void fitPanel(const QScreen& screen);
    void followTrayHost(bool present);

    AppStore& store_;
    Updater& updater_;
    bool demo_;
    ui::MenuBarPanel panel_;
    AuxWindows windows_;
    std::unique_ptr<TrayItem> tray_;  // none while the panel is the application's window
    TrayHostWatcher trayHosts_;
    QTimer trayGone_;             // runs while the tray host is away; ending, it brings the window back
    QElapsedTimer sinceHidden_;  // since the popup last closed
};

}  // namespace folioport
