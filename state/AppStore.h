#pragma once

#include <QObject>
#include <QThreadPool>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <type_traits>
#include <vector>

#include "confluence/ConfluenceClient.h"
#include "confluence/ConfluenceConfig.h"
#include "confluence/ConfluenceError.h"
#include "confluence/Records.h"
#include "platform/Preferences.h"

class QTimer;
class QUrl;

namespace folioport {

/// Where an AppStore keeps its settings, how long its refresh "minute" lasts, and the desktop services it
/// hands text and addresses to; the defaults are the product's, except the seams, which do nothing.
struct AppStoreOptions {
    std::filesystem::path preferencesFile = platform::Preferences::defaultFile();
    std::chrono::milliseconds minute = std::chrono::minutes(1);  ///< one unit of refreshMinutes
    std::function<void(const std::string&)> copyText = [](const std::string&) {};  ///< plain text to the clipboard
    std::function<void(const QUrl&)> openURL = [](const QUrl&) {};                ///< to the default handler
};

/// The application's one observable state: the settings, what the last loads fetched, the loading and
/// error state, and the background refresh. Lives on the main thread; every assignment of a published
/// property emits its change signal there, also when the value stays the same. Network calls run on the
/// store's own pool and never block the event loop.
class AppStore : public QObject {
    Q_OBJECT

public:
    /// Reads the stored settings (blocking at most the keyring's bound) and starts the refresh; no network.
    explicit AppStore(AppStoreOptions options = {}, QObject* parent = nullptr);
    /// Aborts the requests in flight and waits for them; callbacks of unfinished operations never run.
    ~AppStore() override;

    const std::string& baseURL() const { return baseURL_; }
    const std::string& email() const { return email_; }
    const std::string& apiToken() const { return apiToken_; }
    /// Key of the listed space; empty (after trimming blanks) means all spaces.
    const std::string& spaceKey() const { return spaceKey_; }
    std::int64_t pageLimit() const { return pageLimit_; }
    /// Period of the background refresh; below 1 means none.
    std::int64_t refreshMinutes() const { return refreshMinutes_; }
    bool autoUpdate() const { return autoUpdate_; }
    const std::string& updateFeedURL() const { return updateFeedURL_; }
    /// The signed-in user of the last load that got that far.
    const std::optional<ConfluenceUser>& currentUser() const { return currentUser_; }
    /// The spaces of the last load that got that far, in the site's order.
    const std::vector<Space>& spaces() const { return spaces_; }
    /// The recent pages of the last successful load of the current space key, in the site's order.
    const std::vector<Page>& pages() const { return pages_; }
    /// True while a non-silent load runs.
    bool isLoading() const { return isLoading_; }
    /// The last failure to show the user; absent when there is none.
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    /// Ids of the pages with a write (trash, editor save) in flight.
    const std::set<std::string>& busyPageIds() const { return busyPageIds_; }

    /// Settings setters for the settings window; saveSettings() stores them.
    void setBaseURL(std::string value);
    void setEmail(std::string value);
    void setApiToken(std::string value);
    void setSpaceKey(std::string value);
    void setPageLimit(std::int64_t value);
    void setRefreshMinutes(std::int64_t value);
    void setAutoUpdate(bool value);
    void setUpdateFeedURL(std::string value);

    /// Marks a page as written to; a second insert of the same id shares the one entry.
    void insertBusyPageId(const std::string& id);
    void removeBusyPageId(const std::string& id);
    /// For a window's own writes (editor saves), so the panel shows their failure too.
    void setErrorMessage(std::optional<std::string> message);

    /// The connection settings exactly as they stand, not normalised.
    ConfluenceConfig config() const;
    /// The first loaded space whose key equals spaceKey (untrimmed), ignoring case.
    std::optional<Space> selectedSpace() const;
    /// Space key by space id over the loaded spaces; the first space of an id wins.
    std::map<std::string, std::string> spaceKeysById() const;

    /// Writes the seven preference keys and the token as they stand, then restarts the refresh.
    /// True when the keyring holds the token now.
    bool saveSettings();
    /// Stops the refresh loop, and starts it anew when the config is complete and refreshMinutes >= 1:
    /// a silent load one full period from now, and again one period after each such load has ended.
    void startAutoRefresh();
    /// Loads user, spaces and pages and publishes them; a silent load shows neither progress nor failure.
    /// `onDone` runs on the main thread once the load has ended, at once when the config is incomplete.
    void load(bool silent, std::function<void()> onDone = {});

    /// Lists the space with this key (empty: all spaces): stores the key alone and loads non-silently.
    void selectSpace(const std::string& key);
    /// Moves the page to the site's trash; `onDone` gets true when it went. The page is busy meanwhile.
    void trashPage(const Page& page, std::function<void(bool)> onDone = {});
    /// Full-text page search (at most 50 hits), optionally within the space of spaceKey; failures go to
    /// errorMessage and give an empty list.
    void search(const std::string& text, bool inSelectedSpaceOnly,
                std::function<void(std::vector<SearchResult>)> onDone);
    /// Puts "title — address" of the page on the clipboard as plain text.
    void copyLink(const Page& page) const;
    /// Hands the address to the default handler when it is a valid URL with a scheme; else does nothing.
    void open(const std::string& address) const;

Q_SIGNALS:
    void baseURLChanged();
    void emailChanged();
    void apiTokenChanged();
    void spaceKeyChanged();
    void pageLimitChanged();
    void refreshMinutesChanged();
    void autoUpdateChanged();
    void updateFeedURLChanged();
    void currentUserChanged();
    void spacesChanged();
    void pagesChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void busyPageIdsChanged();

private:
    /// One run of load(): what it was started with and whom to tell when it ends.
    struct LoadRun {
        ConfluenceClient client;
        std::string spaceKey;  // the key the load lists pages for
        bool silent;
        std::function<void()> onDone;
    };

    void resolveSpaceId(LoadRun run);
    void fetchPages(LoadRun run, std::optional<std::string> spaceId);
    void publishPages(const LoadRun& run, std::vector<Page> pages);
    void failLoad(const LoadRun& run, const ConfluenceError& error);
    void endLoad(const LoadRun& run);
    std::optional<Space> spaceMatching(const std::string& key) const;

    // Stores first, then announces (Qt's convention), so a slot already reads the new value.
    template <class T>
    void assign(T& field, std::type_identity_t<T> value, void (AppStore::*changed)()) {
        field = std::move(value);
        Q_EMIT(this->*changed)();
    }

    AppStoreOptions options_;

    std::string baseURL_;
    std::string email_;
    std::string apiToken_;
    std::string spaceKey_;
    std::int64_t pageLimit_;
    std::int64_t refreshMinutes_;
    bool autoUpdate_;
    std::string updateFeedURL_;
    std::optional<ConfluenceUser> currentUser_;
    std::vector<Space> spaces_;
    std::vector<Page> pages_;
    bool isLoading_ = false;
    std::optional<std::string> errorMessage_;
    std::set<std::string> busyPageIds_;

    QTimer* refreshTimer_;              // child, single-shot, so it never outlives the store
    std::uint64_t refreshGeneration_ = 0;  // bumped on every (re)start, so an older loop's load does not re-arm
    QThreadPool pool_;
    std::stop_source stop_;  // requested on destruction, so requests in flight end promptly
};

}  // namespace folioport
