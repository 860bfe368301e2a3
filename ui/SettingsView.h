#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "confluence/ConnectionCheck.h"
#include "confluence/StoredSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace folioport {
class AppStore;
class Updater;
}  // namespace folioport

namespace folioport::ui {

class ElidedLabel;
class ErrorBanner;
class ExpiredTokenHint;
class McpSetupSection;
struct McpServerInfo;
class ProgressButton;

/// The settings window's content. It edits a private copy of the stored settings, taken when it is first
/// shown and the store has read them; a control the user has not touched follows what the store reads
/// afterwards (the file edited outside, the token once the keyring answers). "Cancel" (or Escape) drops the
/// copy, "Done" (or Return) has the store save it and closes the window, or, when the desktop keyring does
/// not take the token or the disk refuses the file, keeps the window open with the edits and says why. A
/// token field left untouched keeps the stored token, also one the keyring could not give. Launch at login and "Check now" act at once. Saving and the connection test
/// are store actions off the main thread; an answer that comes after the view is gone is dropped.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    /// `mcpServer` is what the MCP set-up texts name.
    SettingsView(AppStore& store, Updater& updater, std::function<void()> onClose, const McpServerInfo& mcpServer,
                 QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    /// Refused while saving, so the window stays until the keyring has answered.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildConnection(QWidget* parent);
    QWidget* buildSpaceAndList(QWidget* parent);
    QWidget* buildTestRow(QWidget* parent);
    QWidget* buildUpdates(QWidget* parent);
    void showSpaceMenuButton();

    void loadCurrentOnceRead();
    void loadCurrent();
    /// Moves every control the user has not touched to the store's settings as they are now.
    void followStore();
    void refreshKeyringNote();
    /// The values "Done" stores, as typed (the space key trimmed of spaces and tabs), with the route a test
    /// of exactly these connection values decided.
    StoredSettings draft() const;
    void save();
    void finishSave(const StoredSettings& saved, const StoredSettings::SaveOutcome& outcome);
    void runTest();
    void setLaunchAtLogin(bool enabled);
    void refreshTestRow();
    /// Names the route REST requests take now: the site itself, or the API gateway stored for it.
    void refreshRoute();
    void refreshUpdates();
    void refreshSaving();
    void updateTabOrder();

    AppStore& store_;
    Updater& updater_;
    std::function<void()> onClose_;
    bool shown_ = false;
    bool didLoad_ = false;
    // The store's settings as the untouched controls show them.
    StoredSettings loaded_;
    // The settings as loaded, with the pickers' values held apart from the pickers, so a stored value
    // outside their choices survives.
    StoredSettings edited_;
    bool testing_ = false;
    std::optional<ConnectionCheck> testResult_;
    ConfluenceConfig tested_;  // what testResult_ was found with
    bool saving_ = false;

    QPushButton* cancelButton_;
    ProgressButton* doneButton_;
    ErrorBanner* saveError_;
    QWidget* content_;
    QLineEdit* baseURL_;
    QLineEdit* email_;
    QLineEdit* apiToken_;
    QLabel* keyringNote_;
    QToolButton* tokenLink_;
    QLineEdit* spaceKey_;
    QToolButton* spaceMenuButton_;
    QComboBox* pageLimitPicker_;
    QComboBox* refreshPicker_;
    QCheckBox* launchAtLogin_;
    ProgressButton* testButton_;
    QLabel* routeLabel_;
    ElidedLabel* testResultLabel_;
    ExpiredTokenHint* testHint_;
    QCheckBox* autoUpdate_;
    QLineEdit* feedURL_;
    QPushButton* checkButton_;
    QLabel* updateStatus_;
    QLabel* updateError_;
    McpSetupSection* mcp_;
};

}  // namespace folioport::ui
