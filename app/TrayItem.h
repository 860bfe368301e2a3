#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace folioport {

class AppStore;

/// The tray item: the document symbol with the space key, a tooltip that always names the key, a left
/// click that asks for the panel, and a context menu with "Open", "Settings…" and "Quit". Follows the
/// store's settings as they change.
class TrayItem : public QObject {
    Q_OBJECT

public:
    TrayItem(AppStore& store, bool demo, QObject* parent = nullptr);

    void show() { icon_->show(); }
    /// The icon's place on screen; empty while the tray has not embedded it, or when it never tells.
    QRect geometry() const { return icon_->geometry(); }

Q_SIGNALS:
    /// A left click, where the tray says it was, or else with the pointer's position at that moment.
    void clicked(QPoint pointer);
    /// "Open" from the menu, with the pointer's position.
    void openRequested(QPoint pointer);
    void settingsRequested();
    void quitRequested();

private:
    void refresh();

    AppStore& store_;
    bool demo_;
    QSystemTrayIcon* icon_;  // child, named "trayIcon"
    QMenu menu_;
};

}  // namespace folioport
