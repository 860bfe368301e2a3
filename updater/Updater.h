#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QObject>
#include <QThreadPool>

#include <chrono>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "appinfo/AppInfo.h"
#include "platform/Bundle.h"
#include "updater/InstallStep.h"
#include "updater/UpdateLimits.h"
#include "updater/UpdateManifest.h"
#include "updater/WorkFolders.h"

class QTimer;

namespace folioport {

/// When an Updater checks on its own, and what it compares the feed with; the defaults are the product's.
struct UpdaterOptions {
    std::chrono::milliseconds launchDelay = std::chrono::seconds(5);  ///< from start() to its automatic check
    std::chrono::milliseconds period = std::chrono::hours(6);         ///< between the timer's automatic checks
    /// An automatic check this soon after lastCheck is skipped; manual checks never are.
    std::chrono::milliseconds throttle = std::chrono::seconds(60);
    std::function<std::string()> runningVersion = AppInfo::version;  ///< read at every comparison
    /// A new bundle's build number must sort after this one; read at every installation.
    std::function<std::string()> runningBuild = AppInfo::build;
    UpdateLimits limits{};
    /// The bundle an installation replaces; absent for a copy outside any bundle, which cannot update itself.
    std::function<std::optional<std::filesystem::path>()> installedBundle = platform::Bundle::location;
    /// Ends the application once the swap script runs, as if the user chose to quit.
    std::function<void()> quit = [] { QCoreApplication::quit(); };
};

/// The one updater of the application: checks the update feed shortly after start(), periodically and on
/// demand, and holds what it found for the views. Lives on the main thread; every assignment of a field
/// emits its change signal, even when the value stays the same.
class Updater : public QObject {
    Q_OBJECT

public:
    /// With an installed bundle: takes back the offer and the reason a swap that gave up left beside it, and
    /// removes (off the main thread) the staging folders of updates that were killed part way.
    explicit Updater(UpdaterOptions options = {}, QObject* parent = nullptr);
    /// Aborts a fetch in flight and waits for it; the timers die with the object.
    ~Updater() override;

    /// The feed's entry when it offers a newer version than the running one.
    const std::optional<UpdateManifest>& available() const { return available_; }
    /// True while a check or an installation runs; while true, further checks do nothing.
    bool isChecking() const { return isChecking_; }
    /// One line of progress or result for the user.
    const std::optional<std::string>& status() const { return status_; }
    /// The last failure to show.
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    /// When the last check that got past the busy flag and the throttle finished, whatever its outcome.
    const std::optional<QDateTime>& lastCheck() const { return lastCheck_; }
    /// The version whose banner the user dismissed; memory only.
    const std::optional<std::string>& dismissedVersion() const { return dismissedVersion_; }

    /// (Re)configures automatic checks: one after the launch delay and then one every period, against
    /// `feedURL`; with `autoUpdate` false none. A launch check of an earlier call still runs.
    void start(const std::string& feedURL, bool autoUpdate);
    /// Fetches the feed (an https address, or http on the loopback address) and records the outcome; never
    /// fails to its caller. Only a manual check shows progress and failures, and only it ignores the throttle.
    void check(const std::string& feedURL, bool manual);
    /// Hides the banner of the version now available, until another version is found.
    void dismiss();
    /// Installs `available` in place of the running bundle and quits for the relaunch: downloads the
    /// archive, checks its digest, the seal of the bundle inside it (against the compiled-in key) and its
    /// version and build, then removes the download and starts the swap script. Off the main thread, with
    /// "Downloading v…", "Verifying…" and "Installing…" as status; a failure (an exception too) leaves the
    /// installed bundle untouched, removes the work folders and shows one message. Does nothing while a check
    /// or installation runs, or when nothing is available; fails at once when the installed bundle's folder is
    /// not writable, or when others can write to it or rename it away (checkInstallFolder).
    void install();
    /// True when this copy leaves its updates to the system's package manager and never replaces itself:
    /// a package installed it (its Info.plist says so) or the user cannot write its bundle's folder. Such a
    /// copy makes no automatic checks, and no view offers it an installation.
    bool updatesThroughPackageManager() const;
    /// What the views say instead of offering an update to such a copy.
    static constexpr const char* packageManagerSentence = "Updates come through your system's package manager.";

Q_SIGNALS:
    void availableChanged();
    void isCheckingChanged();
    void statusChanged();
    void errorMessageChanged();
    void lastCheckChanged();
    void dismissedVersionChanged();

private:
    /// A fetched manifest, or the description of why there is none.
    using CheckOutcome = std::expected<UpdateManifest, UpdateError>;

    void finishCheck(CheckOutcome outcome, bool manual);
    void verifyDownloaded(StepResult<std::filesystem::path> archive, UpdateManifest manifest, WorkFolders folders,
                          std::filesystem::path installed);
    void swapVerified(StepResult<std::filesystem::path> bundle, const UpdateManifest& manifest, WorkFolders folders,
                      std::filesystem::path installed);
    void failInstall(const UpdateError& error);

    /// The address of the `kind` ("feed", "download") as sent; else the detail of why it is refused: it does
    /// not parse ("bad feed URL"), or it is neither https nor http on the loopback address.
    static std::expected<std::string, std::string> encodedURL(const std::string& text, const std::string& kind);

    template <class T>
    void assign(T& field, T value, void (Updater::*changed)()) {
        field = std::move(value);
        Q_EMIT(this->*changed)();
    }

    UpdaterOptions options_;
    std::optional<UpdateManifest> available_;
    bool isChecking_ = false;
    std::optional<std::string> status_;
    std::optional<std::string> errorMessage_;
    std::optional<QDateTime> lastCheck_;
    std::optional<std::string> dismissedVersion_;

    QTimer* periodicCheck_;         // child, so it stops with the updater
    std::string periodicFeedURL_;  // the address the periodic check uses
    QThreadPool pool_;
    std::stop_source stop_;
};

}  // namespace folioport
