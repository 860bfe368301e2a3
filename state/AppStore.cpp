#include "state/AppStore.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>

#include "confluence/StoredSettings.h"
#include "async/OffThread.h"
#include "state/KeyringWatcher.h"
#include "state/UserAndSpaces.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

// why: a load holds two threads (user and spaces), and loads from the panel, the timer and a trash may overlap.
constexpr int poolThreads = 8;

int clampedToInt(std::int64_t value) {
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

AppStore::AppStore(AppStoreOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      preferencesWatcher_(new QFileSystemWatcher(this)),
      preferencesChanged_(new QTimer(this)),
      refreshTimer_(new QTimer(this)),
      drafts_(options_.draftsFolder) {
    pool_.setMaxThreadCount(poolThreads);
    preferencesQueue_.setMaxThreadCount(1);
    refreshTimer_->setSingleShot(true);
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        beginLoad(true, false, true, [this, generation = refreshGeneration_] {
            if (generation != refreshGeneration_) return;
            refreshTimer_->start(retryDelay_.count() > 0 ? retryDelay_ : refreshPeriod_);
        });
    });
    connect(new KeyringWatcher(this), &KeyringWatcher::mayHaveChanged, this, [this] {
        if (keyringProblem_) rereadToken();
    });
    // why: an editor or a sync tool replaces the file by renaming another over it, which only the folder sees;
    // such a replacement comes as several events, read once.
    preferencesChanged_->setSingleShot(true);
    preferencesChanged_->setInterval(50);
    connect(preferencesChanged_, &QTimer::timeout, this, &AppStore::rereadPreferences);
    for (auto changed : {&QFileSystemWatcher::fileChanged, &QFileSystemWatcher::directoryChanged})
        connect(preferencesWatcher_, changed, this, [this] {
            watchPreferences();
            preferencesChanged_->start();
        });
    watchPreferences();
    // why: the keyring may take seconds to answer (locked, prompting, or not at all); the event loop must not wait.
    runOffThread(
        pool_, this, [file = options_.preferencesFile] { return StoredSettings::load(file); },
        [this](StoredSettings::Reading stored) {
            if (!readingSettings_) return;  // why: a save answered first; what it stored is newer
            readingSettings_ = false;
            keyringProblem_ = stored.tokenUnreadable;
            assign(settings_, withUsableRoute(std::move(stored.settings)), &AppStore::settingsChanged);
            startAutoRefresh();
        });
}

AppStore::~AppStore() {
    stop_.request_stop();
    // why: a quit waits for the settings still being written, so none is lost.
    preferencesQueue_.waitForDone();
    pool_.waitForDone();
}

void AppStore::editSettings(const std::function<void(StoredSettings&)>& edit) {
    edit(settings_);
    Q_EMIT settingsChanged();
}

void AppStore::insertBusyPageId(const std::string& id) {
    busyPageIds_.insert(id);
    Q_EMIT busyPageIdsChanged();
}

void AppStore::removeBusyPageId(const std::string& id) {
    busyPageIds_.erase(id);
    Q_EMIT busyPageIdsChanged();
}

std::optional<Space> AppStore::selectedSpace() const { return spaceMatching(settings_.spaceKey); }

std::optional<Space> AppStore::spaceMatching(const std::string& key) const {
    auto found = std::ranges::find_if(spaces_, [&](const Space& space) { return equalIgnoringCase(space.key, key); });
    return found == spaces_.end() ? std::nullopt : std::optional(*found);
}

std::map<std::string, std::string> AppStore::spaceKeysById() const {
    std::map<std::string, std::string> keys;
    for (const Space& space : spaces_) keys.emplace(space.id, space.key);
    return keys;
}

void AppStore::saveSettings(StoredSettings settings, std::function<void(StoredSettings::SaveOutcome)> onDone,
                            StoredSettings::TokenWrite token) {
    ++preferencesWrites_;
    runOffThread(
        preferencesQueue_, this,
        [settings, token, file = options_.preferencesFile] { return settings.save(file, token); },
        [this, settings, token, onDone = std::move(onDone)](StoredSettings::SaveOutcome outcome) mutable {
            ++preferencesWrites_;
            const bool tokenWritten = outcome.tokenStored && token == StoredSettings::TokenWrite::write;
            if (tokenWritten) keyringProblem_.reset();  // why: the keyring holds exactly this token now
            if (outcome.tokenStored && !outcome.preferencesError) {
                // why: a read still answering would otherwise bring back what was just replaced.
                readingSettings_ = false;
                if (!tokenWritten) settings.apiToken = settings_.apiToken;
                assign(settings_, std::move(settings), &AppStore::settingsChanged);
                startAutoRefresh();
            } else if (tokenWritten) {
                editSettings([&](StoredSettings& current) { current.apiToken = settings.apiToken; });
                startAutoRefresh();
            }
            if (onDone) onDone(std::move(outcome));
        });
}

void AppStore::writePreferences(std::function<std::optional<std::string>()> write) {
    // why: the write ends in fsync, which a slow or busy disk may hold for seconds; the event loop must not wait.
    ++preferencesWrites_;
    runOffThread(preferencesQueue_, this, std::move(write), [this](const std::optional<std::string>&) {
        ++preferencesWrites_;
    });
}

void AppStore::publishSettings(StoredSettings settings) {
    const bool refreshChanged =
        settings.config() != settings_.config() || settings.refreshMinutes != settings_.refreshMinutes;
    assign(settings_, std::move(settings), &AppStore::settingsChanged);
    if (refreshChanged) startAutoRefresh();
}

void AppStore::unlockKeyring() {
    runOffThread(
        pool_, this, [] { return platform::Keychain::requestUnlock(StoredSettings::tokenAccount); }, [](bool) {});
}

void AppStore::retryKeyring() {
    if (keyringProblem_) rereadToken();
}

void AppStore::rereadToken() {
    if (rereadingToken_) {
        tokenRereadAgain_ = true;
        return;
    }
    rereadingToken_ = true;
    runOffThread(pool_, this, [] { return StoredSettings::readToken(); },
                 [this](StoredSettings::TokenReading token) {
                     rereadingToken_ = false;
                     if (!keyringProblem_) return;  // why: a save stored a token meanwhile
                     if (!token) {
                         keyringProblem_ = token.error();
                         Q_EMIT settingsChanged();
                         if (std::exchange(tokenRereadAgain_, false)) rereadToken();
                         return;
                     }
                     tokenRereadAgain_ = false;
                     keyringProblem_.reset();
                     StoredSettings settings = settings_;
                     settings.apiToken = token->value_or("");
                     publishSettings(std::move(settings));
                     load(false);
                 });
}

void AppStore::watchPreferences() {
    const std::filesystem::path& file = options_.preferencesFile;
    const QString filePath = QString::fromStdString(file.string());
    std::error_code error;
    // why: after a rename-replace the old watch follows the replaced file; watch whatever is there now.
    if (preferencesWatcher_->files().contains(filePath)) preferencesWatcher_->removePath(filePath);
    if (std::filesystem::exists(file, error)) preferencesWatcher_->addPath(filePath);
    // why: a folder that does not exist yet is watched from its parent, so its creation is seen.
    const std::filesystem::path folder = file.parent_path();
    const QString folderPath =
        QString::fromStdString((std::filesystem::is_directory(folder, error) ? folder : folder.parent_path()).string());
    if (!preferencesWatcher_->directories().contains(folderPath) && QFileInfo::exists(folderPath))
        preferencesWatcher_->addPath(folderPath);
}

StoredSettings AppStore::withUsableRoute(StoredSettings stored) const {
    StoredRoute route = storedRoute(stored.gatewayBaseURL, options_.gatewayRoot);
    if (route.ignored) std::cerr << "Folioport: " << *route.ignored << "\n";
    stored.gatewayBaseURL = std::move(route.gatewayBaseURL);
    return stored;
}

void AppStore::rereadPreferences() {
    if (readingSettings_) return;  // why: the first read is still to come and will see the file as it is now
    // why: behind the writes asked for before, so it never reads a file that one of them is replacing.
    runOffThread(
        preferencesQueue_, this,
        [settings = settings_, file = options_.preferencesFile] { return settings.withPreferencesFrom(file); },
        [this, writes = preferencesWrites_](StoredSettings stored) {
            if (writes != preferencesWrites_ || readingSettings_) return;  // a newer write will be read again
            stored.apiToken = settings_.apiToken;
            stored = withUsableRoute(std::move(stored));
            if (stored != settings_) publishSettings(std::move(stored));
        });
}

void AppStore::testConnection(ConfluenceConfig config, std::function<void(ConnectionCheck)> onDone) {
    runOffThread(
        pool_, this,
        [config = std::move(config), root = options_.gatewayRoot, stop = stop_.get_token()] {
            return checkConnection(config, root, stop);
        },
        std::move(onDone));
}

void AppStore::startAutoRefresh() {
    ++refreshGeneration_;
    refreshTimer_->stop();
    retryDelay_ = {};
    const std::int64_t minutes = settings_.refreshMinutes;
    if (!config().isComplete() || minutes < 1) return;
    // why: a QTimer holds int milliseconds while the preferences may hold any number of minutes; every
    // longer period becomes the longest whole number of minutes that fits (about 24 days in real minutes).
    const std::int64_t longestMinutes =
        std::numeric_limits<int>::max() / std::max<std::int64_t>(options_.minute.count(), 1);
    refreshPeriod_ = options_.minute * std::min(minutes, longestMinutes);
    refreshTimer_->start(refreshPeriod_);
}

void AppStore::load(bool silent, std::function<void()> onDone) {
    beginLoad(silent, false, false, std::move(onDone));
}

void AppStore::loadDecidingRoute(std::function<void()> onDone) {
    beginLoad(false, true, false, std::move(onDone));
}

void AppStore::beginLoad(bool silent, bool decidesRoute, bool timed, std::function<void()> onDone) {
    const ConfluenceConfig settings = config();
    if (!settings.isComplete()) {
        if (onDone) onDone();
        return;
    }
    if (!silent) assign(isLoading_, true, &AppStore::isLoadingChanged);
    const RateLimitRetry retry = timed ? RateLimitRetry::never : RateLimitRetry::onceAfterWait;
    startLoad({ConfluenceClient(settings, {}, retry), settings_.spaceKey, silent, std::move(onDone), decidesRoute, timed});
}

void AppStore::startLoad(LoadRun run) {
    // why: built before the call, because the hand-off lambda takes `run` over and arguments have no order.
    auto work = [&pool = pool_, client = run.client, stop = stop_.get_token()] {
        return fetchUserAndSpaces(pool, client, stop);
    };
    runOffThread(
        pool_, this, std::move(work),
        [this, run = std::move(run)](std::expected<UserAndSpaces, ConfluenceError> fetched) mutable {
            if (!fetched) return failLoad(run, fetched.error());
            assign(currentUser_, std::move(fetched->user), &AppStore::currentUserChanged);
            assign(spaces_, std::move(fetched->spaces), &AppStore::spacesChanged);
            resolveSpaceId(std::move(run));
        });
}

void AppStore::resolveSpaceId(LoadRun run) {
    const std::string key(Utf8::trim(run.spaceKey, Utf8::isSpaceOrTab));
    if (key.empty()) return fetchPages(std::move(run), std::nullopt);
    if (auto space = spaceMatching(run.spaceKey)) return fetchPages(std::move(run), space->id);
    auto work = [client = run.client, key, stop = stop_.get_token()] { return client.space(key, stop); };
    runOffThread(
        pool_, this, std::move(work),
        [this, run = std::move(run)](std::expected<Space, ConfluenceError> space) mutable {
            if (!space) return failLoad(run, space.error());
            fetchPages(std::move(run), std::move(space->id));
        });
}

void AppStore::fetchPages(LoadRun run, std::optional<std::string> spaceId) {
    auto work = [client = run.client, spaceId = std::move(spaceId), limit = clampedToInt(settings_.pageLimit),
                 stop = stop_.get_token()] { return client.pages(spaceId, limit, stop); };
    runOffThread(
        pool_, this, std::move(work),
        [this, run = std::move(run)](std::expected<std::vector<Page>, ConfluenceError> pages) {
            if (!pages) return failLoad(run, pages.error());
            publishPages(run, std::move(*pages));
        });
}

void AppStore::publishPages(const LoadRun& run, std::vector<Page> pages) {
    // why: loads overlap, so a slow load of the space the user just left could end last; its pages would
    // then show under the new space's name. Only a load of the key still selected publishes them.
    if (run.timed) retryDelay_ = {};
    if (run.spaceKey == settings_.spaceKey) {
        pagesLoadedAt_ = options_.now();
        assign(pages_, std::move(pages), &AppStore::pagesChanged);
        assign(error_, std::nullopt, &AppStore::errorChanged);
        if (staleList_) assign(staleList_, std::nullopt, &AppStore::staleListChanged);
    }
    endLoad(run);
}

void AppStore::decideRoute(LoadRun run, ConfluenceError refusal) {
    run.decidesRoute = false;
    const ConfluenceConfig checked = run.client.config();
    testConnection(checked, [this, run = std::move(run), refusal](ConnectionCheck check) mutable {
        const std::optional<std::string>& route = check.gatewayBaseURL;
        // why: a save meanwhile stored settings of its own, which this check did not look at.
        if (!route || *route == run.client.config().gatewayBaseURL || run.client.config() != config())
            return failLoad(run, refusal);
        // why: like every settings write, a failed one goes unreported; the next "Done" decides again.
        writePreferences([route = *route, file = options_.preferencesFile] {
            return StoredSettings::saveGatewayBaseURL(route, file);
        });
        editSettings([&](StoredSettings& settings) { settings.gatewayBaseURL = *route; });
        run.client = ConfluenceClient(config());
        startLoad(std::move(run));
    });
}

void AppStore::failLoad(const LoadRun& run, const ConfluenceError& error) {
    if (run.decidesRoute && error.refusesCredentials())
        return decideRoute(run, error);
    // why: a silent load fails unseen; what it published before the failure stays either way.
    if (!run.silent) assign(error_, error, &AppStore::errorChanged);
    if (run.timed) {
        // why: a site that comes back is seen within about a minute, while one that stays away is asked
        // less and less often.
        retryDelay_ = std::min(retryDelay_.count() > 0 ? 2 * retryDelay_ : options_.minute / 2, refreshPeriod_);
        assign(staleList_, StaleList{options_.now(), error, pagesLoadedAt_}, &AppStore::staleListChanged);
    }
    endLoad(run);
}

void AppStore::endLoad(const LoadRun& run) {
    if (!run.silent) assign(isLoading_, false, &AppStore::isLoadingChanged);
    if (run.onDone) run.onDone();
}

}  // namespace folioport
