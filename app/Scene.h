#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <memory>

#include "app/AuxWindows.h"
#include "ui/MenuBarPanel.h"

namespace folioport {

class AppStore;
class Updater;
class TrayItem;

/// The application's scene: the tray item whose click toggles the panel, a frameless popup without a
/// taskbar entry placed under the icon, and the auxiliary windows the panel and the tray menu ask for.
/// Without a system tray the panel is an ordinary window instead.
class Scene : public QObject {
    Q_OBJECT

public:
    /// `demo` marks the tooltip and the panel header "Demo".
    Scene(AppStore& store, Updater& updater, bool demo);
    ~Scene() override;

    /// Shows the tray item, or, without a system tray, says so on standard error and opens the panel.
    void start();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Quits once every window has closed; a window that refuses (unsaved editor text) keeps it running.
    void quit();
    void togglePanel(QPoint pointer);
    void showPanel(QPoint pointer);

    AppStore& store_;
    Updater& updater_;
    bool demo_;
    ui::MenuBarPanel panel_;
    AuxWindows windows_;
    std::unique_ptr<TrayItem> tray_;
    QElapsedTimer sinceHidden_;  // since the popup last closed
};

}  // namespace folioport
