#pragma once

#include <QDateTime>
#include <QObject>
#include <QThreadPool>

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "confluence/ConfluenceClient.h"
#include "confluence/ConfluenceConfig.h"
#include "confluence/ConfluenceError.h"
#include "confluence/ConnectionCheck.h"
#include "confluence/PageChange.h"
#include "confluence/Records.h"
#include "confluence/StoredSettings.h"
#include "platform/Keychain.h"
#include "platform/Preferences.h"
#include "state/DraftShelf.h"

class QFileSystemWatcher;
class QTimer;
class QUrl;

namespace folioport {

/// Where an AppStore keeps its settings, how long its refresh "minute" lasts, and the desktop services it
/// hands text and addresses to; the defaults are the product's, except the seams, which do nothing.
struct AppStoreOptions {
    std::filesystem::path preferencesFile = platform::Preferences::defaultFile();
    std::chrono::milliseconds minute = std::chrono::minutes(1);  ///< one unit of refreshMinutes
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };  ///< the wall clock
    std::function<void(const std::string&)> copyText = [](const std::string&) {};  ///< plain text to the clipboard
    std::function<void(const QUrl&)> openURL = [](const QUrl&) {};                ///< to the default handler
    /// Where settings-time checks look for the API gateway; only tests point it elsewhere.
    std::string gatewayRoot = std::string(productionGatewayRoot);
    /// How long a page read or write, with the requests around it, may take in all.
    std::chrono::milliseconds pageCallTime = CallLimits{}.time;
    /// Where the editors' drafts are kept.
    std::filesystem::path draftsFolder = DraftShelf::defaultFolder();
};

/// Why the list may be old: the last timed refresh failed.
struct StaleList {
    QDateTime failedAt;
    ConfluenceError reason;
    std::optional<QDateTime> pagesFrom;  ///< when the pages shown were loaded; absent when none were
};

/// The texts of a page version as the editor sends them.
struct PageDraft {
    std::string title;
    std::string storageBody;
    std::optional<std::string> versionNote;  ///< only for a new version of an existing page
};

/// Why a page write (create, save, trash) did not happen: the site's error, and, when the site refused a save
/// because it already held a newer version than the one edited, that version and who saved it.
struct PageWriteFailure {
    ConfluenceError error;
    std::optional<PageChange> newer;
};

/// What a page write did: the page as the site now holds it (for a trash, the page that went), or why not.
using PageWrite = std::expected<Page, PageWriteFailure>;

/// The application's one observable state: the settings, what the last loads fetched, the loading and
/// error state, and the background refresh. Lives on the main thread; every assignment of a published
/// property emits its change signal there, also when the value stays the same. Network calls run on the
/// store's own pool and never block the event loop.
class AppStore : public QObject {
    Q_OBJECT

public:
    /// Starts reading the stored settings off the main thread and starts the refresh once they are in;
    /// no network.
    explicit AppStore(AppStoreOptions options = {}, QObject* parent = nullptr);
    /// Aborts the requests in flight and waits for them (and for a keyring still answering); callbacks of
    /// unfinished operations never run.
    ~AppStore() override;

    /// The settings as last read, saved or set; a fresh installation's until the first read has answered.
    const StoredSettings& settings() const { return settings_; }
    /// True until the stored settings, token included, have been read once (a locked keyring may take
    /// a while); meanwhile the settings are a fresh installation's and no load starts.
    bool isReadingSettings() const { return readingSettings_; }
    /// Why the desktop keyring could not be read when the token was last asked for (locked, absent, no
    /// answer); absent once it answered, with a token or without one. While it is set, apiToken is empty
    /// because it is unknown, not because none is stored, and the store reads the token again, then loads,
    /// as soon as the session bus says the keyring came up or a collection of it changed.
    const std::optional<StoredSettings::TokenUnreadable>& keyringProblem() const { return keyringProblem_; }
    /// The signed-in user of the last load that got that far.
    const std::optional<ConfluenceUser>& currentUser() const { return currentUser_; }
    /// The spaces of the last load that got that far, in the site's order.
    const std::vector<Space>& spaces() const { return spaces_; }
    /// The recent pages of the last successful load of the current space key, in the site's order.
    const std::vector<Page>& pages() const { return pages_; }
    /// True while a non-silent load runs.
    bool isLoading() const { return isLoading_; }
    /// The last failure to show the user (its sentence is describe(error)); absent when there is none.
    const std::optional<ConfluenceError>& error() const { return error_; }
    /// Present while the last timed refresh failed and no load has published pages since.
    const std::optional<StaleList>& staleList() const { return staleList_; }
    /// Ids of the pages with a write (trash, saved version) in flight.
    const std::set<std::string>& busyPageIds() const { return busyPageIds_; }
    /// The editors' drafts of unsaved text, and those an earlier run left.
    DraftShelf& drafts() { return drafts_; }
    /// The drafts an earlier run left for the configured site, waiting to be reopened.
    std::vector<EditorDraft> waitingDrafts() const { return drafts_.waiting(config().normalizedBaseURL()); }

    /// Publishes the settings as `edit` changes them, without storing them (selectSpace and saveSettings
    /// store what they change).
    void editSettings(const std::function<void(StoredSettings&)>& edit);

    /// Marks a page as written to; a second insert of the same id shares the one entry.
    void insertBusyPageId(const std::string& id);
    void removeBusyPageId(const std::string& id);

    /// The connection settings exactly as they stand, not normalised.
    ConfluenceConfig config() const { return settings_.config(); }
    /// The first loaded space whose key equals spaceKey (untrimmed), ignoring case.
    std::optional<Space> selectedSpace() const;
    /// Space key by space id over the loaded spaces; the first space of an id wins.
    std::map<std::string, std::string> spaceKeysById() const;

    /// Stores `settings` off the main thread, the token first (unless `token` keeps the stored one): when the
    /// keyring takes it, the preference keys follow, and once both are stored the settings are published and the
    /// refresh restarts. When the keyring refuses (or does not answer), nothing changes; when the file cannot be
    /// written, only a token the keyring took is published. `onDone` gets what was stored.
    void saveSettings(StoredSettings settings, std::function<void(StoredSettings::SaveOutcome)> onDone = {},
                      StoredSettings::TokenWrite token = StoredSettings::TokenWrite::write);
    /// Asks the keyring to unlock (it prompts for the password itself); the token is read once it has.
    void unlockKeyring();
    /// Asks the keyring for the token again now, as its coming up does by itself.
    void retryKeyring();
    /// The settings window's connection test with `config`, off the main thread: its sentence and the route
    /// it decided for `onDone`; nothing is stored.
    void testConnection(ConfluenceConfig config, std::function<void(ConnectionCheck)> onDone);
    /// Stops the refresh loop, and starts it anew when the config is complete and refreshMinutes >= 1:
    /// a silent load one full period from now, and again one period after each such load has ended. After
    /// a timed load that failed, the next one comes half a minute later, then twice as long after each
    /// further failure, up to the period.
    void startAutoRefresh();
    /// Loads user, spaces and pages and publishes them; a silent load shows neither progress nor failure.
    /// `onDone` runs on the main thread once the load has ended, at once when the config is incomplete.
    void load(bool silent, std::function<void()> onDone = {});
    /// The load that follows "Done": load(false), except that when the site refuses the credentials (401) the
    /// connection is checked, and when that decides another route (through the gateway, or straight to the
    /// site), the route alone is stored and the load runs again on it. No other load ever changes the route.
    void loadDecidingRoute(std::function<void()> onDone = {});

    /// The id of the page that pasted text (an id or a link to a page) names on the configured site. Clears
    /// error first; a link that names no page, or a page on another site, goes there and gives nothing.
    std::optional<std::string> pageIdOfLink(const std::string& pasted);

    /// Lists the space with this key (empty: all spaces): stores the key alone and loads non-silently.
    void selectSpace(const std::string& key);
    /// Fetches the page with its storage body. A failure reaches only `onDone`; error stays.
    void loadPage(const std::string& id, std::function<void(std::expected<Page, ConfluenceError>)> onDone);
    /// Fetches the page's latest version and who saved it (latestChange). A failure reaches only `onDone`, as nothing.
    void loadChange(const std::string& id, std::function<void(std::optional<PageChange>)> onDone);
    /// Stores the next version of `page` (the version it was loaded at + 1). Clears error first and
    /// keeps the page busy meanwhile; a failure also goes to error, a success starts a silent load.
    /// When the site refuses the version as stale, the page is read again (and its latest author looked up)
    /// before `onDone` hears of it; saving over that newer version is another saveVersion with it. When the
    /// last save after that version went unanswered, the site is asked first whether it stored these texts
    /// then (earlierSave); if it did, that version is the outcome and nothing is sent again.
    void saveVersion(const Page& page, PageDraft draft, std::function<void(PageWrite)> onDone);
    /// Creates a page in the space with key `spaceKey` (looked up first), under `parentId` when given.
    /// Clears error first; a failure also goes to error, a success starts a silent load. When the
    /// last create of this title in this space went unanswered, the page it made, if the site has one, is the
    /// outcome (earlierCreate) and nothing is sent again.
    void createPage(const std::string& spaceKey, const std::optional<std::string>& parentId, PageDraft draft,
                    std::function<void(PageWrite)> onDone);
    /// Moves the page to the site's trash. Clears error first and keeps the page busy meanwhile; a failure also
    /// goes to error, a success takes the page off the list and `onDone` hears of it once a silent load has run.
    void trashPage(const Page& page, std::function<void(PageWrite)> onDone = {});
    /// Full-text page search (at most 50 hits), optionally within the space of spaceKey; failures go to
    /// error and give an empty list.
    void search(const std::string& text, bool inSelectedSpaceOnly,
                std::function<void(std::vector<SearchResult>)> onDone);
    /// The page's or search hit's address in a web browser, on the site of the current settings.
    std::string webURL(const Page& page) const;
    std::string webURL(const SearchResult& hit) const;
    /// Puts "title — address" of the page on the clipboard as plain text.
    void copyLink(const Page& page) const;
    /// Puts the page's title, as the rows show it, on the clipboard as plain text.
    void copyTitle(const Page& page) const;
    /// Hands the address to the default handler when it is a valid URL with a scheme; else does nothing.
    void open(const std::string& address) const;
    /// Whether Folioport starts at login (the autostart entry).
    bool launchesAtLogin() const;
    /// Writes or deletes the autostart entry at once; false when that failed.
    bool setLaunchAtLogin(bool enabled);

Q_SIGNALS:
    /// settings(), isReadingSettings() or keyringProblem() was assigned.
    void settingsChanged();
    void currentUserChanged();
    void spacesChanged();
    void pagesChanged();
    void isLoadingChanged();
    void errorChanged();
    void staleListChanged();
    void busyPageIdsChanged();

private:
    /// One run of load(): what it was started with and whom to tell when it ends.
    struct LoadRun {
        ConfluenceClient client;
        std::string spaceKey;  // the key the load lists pages for
        bool silent;
        std::function<void()> onDone;
        bool decidesRoute = false;
        bool timed = false;  // started by the refresh timer
    };

    /// load(); the refresh timer's loads are silent and never sit out a rate limit's wait; after "Done", the
    /// route is decided on a refusal.
    void beginLoad(bool silent, bool decidesRoute, bool timed, std::function<void()> onDone);
    void startLoad(LoadRun run);
    void decideRoute(LoadRun run, ConfluenceError refusal);
    void resolveSpaceId(LoadRun run);
    void fetchPages(LoadRun run, std::optional<std::string> spaceId);
    void publishPages(const LoadRun& run, std::vector<Page> pages);
    void failLoad(const LoadRun& run, const ConfluenceError& error);
    void endLoad(const LoadRun& run);
    std::optional<Space> spaceMatching(const std::string& key) const;
    /// A client for one page read or write, with the store's time for it.
    ConfluenceClient pageClient() const;
    /// Reads the token again while the keyring could not be read; publishes it and loads once it answers.
    void rereadToken();
    /// Watches the preferences file's folder, and the file while it exists, for changes made outside.
    void watchPreferences();
    /// Takes the preference keys as the file holds them now, unless a write of the store's came meanwhile.
    void rereadPreferences();
    /// The settings with a stored REST route only in the gateway's own form under the store's root; another is
    /// dropped with one line on standard error.
    StoredSettings withUsableRoute(StoredSettings stored) const;
    /// Publishes settings read again, restarting the refresh only when what it depends on changed.
    void publishSettings(StoredSettings settings);
    /// Runs `write` (a preferences write answering with its failure, if any) after the writes before it,
    /// off the UI thread; a failure goes unreported.
    void writePreferences(std::function<std::optional<std::string>()> write);
    /// Shows the failure of a user's action in error.
    void publishFailure(const ConfluenceError& error);

    // Stores first, then announces (Qt's convention), so a slot already reads the new value.
    template <class T>
    void assign(T& field, std::type_identity_t<T> value, void (AppStore::*changed)()) {
        field = std::move(value);
        Q_EMIT(this->*changed)();
    }

    AppStoreOptions options_;

    StoredSettings settings_;
    bool readingSettings_ = true;
    std::optional<StoredSettings::TokenUnreadable> keyringProblem_;
    bool rereadingToken_ = false;
    bool tokenRereadAgain_ = false;  // the keyring changed again while a reread was in flight
    std::optional<ConfluenceUser> currentUser_;
    std::vector<Space> spaces_;
    std::vector<Page> pages_;
    bool isLoading_ = false;
    std::optional<ConfluenceError> error_;
    std::optional<StaleList> staleList_;
    std::optional<QDateTime> pagesLoadedAt_;
    std::set<std::string> busyPageIds_;
    // Writes whose answer never came, so the site may have done them: creates by (space key, title), saves by
    // (page id, version saved after).
    std::set<std::pair<std::string, std::string>> unansweredCreates_;
    std::set<std::pair<std::string, std::int64_t>> unansweredSaves_;

    QFileSystemWatcher* preferencesWatcher_;  // child
    QTimer* preferencesChanged_;              // child, single-shot: one reread for a burst of file events
    std::uint64_t preferencesWrites_ = 0;     // bumped by each write of the store's, so an older reread is dropped
    QTimer* refreshTimer_;              // child, single-shot, so it never outlives the store
    std::uint64_t refreshGeneration_ = 0;  // bumped on every (re)start, so an older loop's load does not re-arm
    std::chrono::milliseconds refreshPeriod_{0};
    std::chrono::milliseconds retryDelay_{0};  // after failed timed loads; 0 after a timed load that succeeded
    DraftShelf drafts_;
    QThreadPool pool_;
    QThreadPool preferencesQueue_;  // one thread: the preferences' writes and rereads run in the order asked for
    std::stop_source stop_;  // requested on destruction, so requests in flight end promptly
};

}  // namespace folioport
