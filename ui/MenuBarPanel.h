#pragma once

#include <QWidget>

#include "confluence/Records.h"

namespace folioport {
class AppStore;
class Updater;
}  // namespace folioport

namespace folioport::ui {

/// The tray's drop-down panel (560 × 700): who is signed in, the chosen space, its recent pages and
/// their actions. Reads the store and the updater and redraws when either announces a change; asks the
/// scene for every other window through its signals.
class MenuBarPanel : public QWidget {
    Q_OBJECT

public:
    MenuBarPanel(AppStore& store, Updater& updater, QWidget* parent = nullptr);
    ~MenuBarPanel() override;

    /// Marks the header "Demo" while the application runs against the local demo site.
    void setDemo(bool demo);

Q_SIGNALS:
    void newPageRequested();                       ///< header "+"
    void searchRequested();                        ///< header magnifier
    void settingsRequested();                      ///< header gear and "Open Settings"
    void aboutRequested();                         ///< footer version button, banner "What's new"
    void editPageRequested(const folioport::Page& page);
    void newChildPageRequested(const folioport::Page& page);  ///< the scene derives space key and parent
    void quitRequested();
    void cameOnScreen();                           ///< every time the panel is shown

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppStore& store_;
    Updater& updater_;
    bool didInitialLoad_ = false;
};

}  // namespace folioport::ui
