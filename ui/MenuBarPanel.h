#pragma once

#include <QWidget>

#include "confluence/Records.h"

class QLabel;
class QPushButton;

namespace folioport {
class AppStore;
class Updater;
}  // namespace folioport

namespace folioport::ui {

class CapsuleLabel;
class KeyringWaitPanel;
class PageList;
class PlainButton;
class SpaceBar;
class Spinner;
class UpdateBanner;

/// The tray's drop-down panel (560 × 700): who is signed in, the chosen space, its recent pages and
/// their actions. Reads the store and the updater and redraws when either announces a change; page
/// actions go to the store, every other window is asked of the scene through the signals.
class MenuBarPanel : public QWidget {
    Q_OBJECT

public:
    /// The panel's size where the screen has room for it; where it has not, the list gives way.
    static constexpr QSize fullSize{560, 700};

    /// The store and the updater are shared, not owned, and must outlive the panel.
    MenuBarPanel(AppStore& store, Updater& updater, QWidget* parent = nullptr);

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
    void cameOnScreen();                           ///< every time the panel is shown, once the settings are read

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildNotConfigured();
    QWidget* buildFooter();
    /// The first load, then cameOnScreen, for a showing that waited for the settings to be read.
    void startOnceSettingsAreRead();
    void scheduleRefresh();
    void refresh();
    void updateTabOrder();

    AppStore& store_;
    Updater& updater_;
    bool didInitialLoad_ = false;
    bool refreshPending_ = false;
    bool comingOnScreen_ = false;  // shown, but cameOnScreen not yet emitted

    QLabel* userName_;
    CapsuleLabel* demoBadge_;
    QList<QWidget*> headerButtons_;   // in visual order
    QList<QWidget*> configuredOnly_;  // header buttons and the space bar and list
    PlainButton* refreshButton_;
    Spinner* refreshSpinner_;
    UpdateBanner* updateBanner_;
    QWidget* updateDivider_;
    SpaceBar* spaceBar_;
    PageList* pageList_;
    QWidget* notConfigured_;
    KeyringWaitPanel* keyringWait_;
    QLabel* readingSettings_;
    QPushButton* openSettings_;
    PlainButton* versionButton_;
    QLabel* spaceCount_;
    PlainButton* quitButton_;
};

}  // namespace folioport::ui
