#include <QUrl>

#include "confluence/PageInSpace.h"
#include "confluence/PageLink.h"
#include "confluence/UnansweredWrite.h"
#include "confluence/StoredSettings.h"
#include "platform/LoginItem.h"
#include "state/AppStore.h"
#include "async/OffThread.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr int searchLimit = 50;

/// Remembers a write whose answer never came (so the next one looks first), and forgets one that was answered.
template <class Key>
void noteAnswer(std::set<Key>& unanswered, Key key, const std::optional<ConfluenceError>& failure) {
    if (failure && mayHaveReachedSite(*failure)) {
        unanswered.insert(std::move(key));
    } else {
        unanswered.erase(key);
    }
}

}  // namespace

void AppStore::selectSpace(const std::string& key) {
    editSettings([&](StoredSettings& settings) { settings.spaceKey = key; });
    // why: like every settings write, a failed one goes unreported; the choice is then lost at the next start.
    writePreferences([key, file = options_.preferencesFile] { return StoredSettings::saveSpaceKey(key, file); });
    load(false);
}

void AppStore::publishFailure(const ConfluenceError& error) { assign(error_, error, &AppStore::errorChanged); }

std::optional<std::string> AppStore::pageIdOfLink(const std::string& pasted) {
    assign(error_, std::nullopt, &AppStore::errorChanged);
    auto id = pageIdFromLink(pasted, config());
    if (!id) {
        publishFailure(id.error());
        return std::nullopt;
    }
    return std::move(*id);
}

ConfluenceClient AppStore::pageClient() const {
    CallLimits limits;
    limits.time = options_.pageCallTime;
    return ConfluenceClient(config(), limits);
}

void AppStore::loadPage(const std::string& id, std::function<void(std::expected<Page, ConfluenceError>)> onDone) {
    runOffThread(
        pool_, this, [client = pageClient(), id, stop = stop_.get_token()] { return client.page(id, true, stop); },
        std::move(onDone));
}

void AppStore::loadChange(const std::string& id, std::function<void(std::optional<PageChange>)> onDone) {
    runOffThread(
        pool_, this,
        [client = pageClient(), id, me = currentUser_ ? currentUser_->accountId : std::nullopt,
         stop = stop_.get_token()] { return latestChange(client, id, me, stop); },
        [onDone = std::move(onDone)](std::expected<PageChange, ConfluenceError> change) {
            onDone(change ? std::optional(std::move(*change)) : std::nullopt);
        });
}

void AppStore::saveVersion(const Page& page, PageDraft draft, std::function<void(PageWrite)> onDone) {
    assign(error_, std::nullopt, &AppStore::errorChanged);
    insertBusyPageId(page.id);
    struct Attempt {
        std::expected<Page, ConfluenceError> saved;
        std::optional<PageChange> newer;
    };
    const std::int64_t version = versionOf(page);
    runOffThread(
        pool_, this,
        [client = pageClient(), id = page.id, version, draft = std::move(draft),
         lookFirst = unansweredSaves_.contains({page.id, version}),
         me = currentUser_ ? currentUser_->accountId : std::nullopt, stop = stop_.get_token()] {
            if (lookFirst) {
                auto earlier = earlierSave(client, id, version, draft.title, draft.storageBody, stop);
                if (!earlier) return Attempt{std::unexpected(earlier.error()), std::nullopt};
                if (*earlier) return Attempt{std::move(**earlier), std::nullopt};
            }
            Attempt attempt{client.updatePage(id, draft.title, draft.storageBody, version, draft.versionNote, stop),
                            std::nullopt};
            if (attempt.saved || !attempt.saved.error().isVersionConflict()) return attempt;
            // why: a conflict the site reports while still holding the edited version is no newer version.
            if (auto change = latestChange(client, id, me, stop); change && versionOf(change->page) > version)
                attempt.newer = std::move(*change);
            return attempt;
        },
        [this, id = page.id, version, onDone = std::move(onDone)](Attempt attempt) {
            noteAnswer(unansweredSaves_, {id, version},
                       attempt.saved ? std::nullopt : std::optional(attempt.saved.error()));
            if (!attempt.saved) {
                removeBusyPageId(id);
                publishFailure(attempt.saved.error());
                return onDone(std::unexpected(PageWriteFailure{attempt.saved.error(), std::move(attempt.newer)}));
            }
            load(true);
            removeBusyPageId(id);
            onDone(std::move(*attempt.saved));
        });
}

void AppStore::createPage(const std::string& spaceKey, const std::optional<std::string>& parentId, PageDraft draft,
                          std::function<void(PageWrite)> onDone) {
    assign(error_, std::nullopt, &AppStore::errorChanged);
    std::pair<std::string, std::string> write{Utf8::trim(spaceKey, Utf8::isSpaceOrTab), draft.title};
    runOffThread(
        pool_, this,
        [client = pageClient(), spaceKey, parentId, draft = std::move(draft),
         lookFirst = unansweredCreates_.contains(write), stop = stop_.get_token()] {
            return createPageInSpace(client, spaceKey, draft.title, draft.storageBody, parentId, stop, lookFirst);
        },
        [this, write, onDone = std::move(onDone)](std::expected<PageInSpace, ConfluenceError> created) {
            noteAnswer(unansweredCreates_, write, created ? std::nullopt : std::optional(created.error()));
            if (!created) {
                publishFailure(created.error());
                return onDone(std::unexpected(PageWriteFailure{created.error(), std::nullopt}));
            }
            load(true);
            onDone(std::move(created->page));
        });
}

void AppStore::trashPage(const Page& page, std::function<void(PageWrite)> onDone) {
    assign(error_, std::nullopt, &AppStore::errorChanged);
    insertBusyPageId(page.id);
    runOffThread(
        pool_, this,
        [client = pageClient(), id = page.id, stop = stop_.get_token()] {
            return client.deletePage(id, false, stop);
        },
        [this, page, onDone = std::move(onDone)](std::expected<void, ConfluenceError> trashed) {
            auto finish = [this, id = page.id, onDone](PageWrite outcome) {
                removeBusyPageId(id);
                if (onDone) onDone(std::move(outcome));
            };
            if (!trashed) {
                publishFailure(trashed.error());
                return finish(std::unexpected(PageWriteFailure{trashed.error(), std::nullopt}));
            }
            std::erase_if(pages_, [&](const Page& listed) { return listed.id == page.id; });
            Q_EMIT pagesChanged();
            load(true, [finish, page] { finish(page); });
        });
}

void AppStore::search(const std::string& text, bool inSelectedSpaceOnly,
                      std::function<void(std::vector<SearchResult>)> onDone) {
    const std::string query(Utf8::trim(text, Utf8::isWhiteSpace));
    if (query.empty()) return onDone({});
    assign(error_, std::nullopt, &AppStore::errorChanged);
    const std::string restriction(inSelectedSpaceOnly ? Utf8::trim(settings_.spaceKey, Utf8::isSpaceOrTab) : "");
    runOffThread(
        pool_, this,
        [client = ConfluenceClient(config()), query,
         spaceKey = restriction.empty() ? std::nullopt : std::optional(restriction), stop = stop_.get_token()] {
            return client.search(query, spaceKey, searchLimit, stop);
        },
        [this, onDone = std::move(onDone)](std::expected<std::vector<SearchResult>, ConfluenceError> found) {
            if (!found) {
                publishFailure(found.error());
                return onDone({});
            }
            onDone(std::move(*found));
        });
}

std::string AppStore::webURL(const Page& page) const { return ConfluenceClient(config()).webURL(page); }

std::string AppStore::webURL(const SearchResult& hit) const { return ConfluenceClient(config()).webURL(hit); }

void AppStore::copyLink(const Page& page) const { options_.copyText(titleOf(page) + " \u2014 " + webURL(page)); }

void AppStore::copyTitle(const Page& page) const { options_.copyText(titleOf(page)); }

void AppStore::open(const std::string& address) const {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty()) options_.openURL(url);
}

bool AppStore::launchesAtLogin() const { return platform::LoginItem::isEnabled(); }

bool AppStore::setLaunchAtLogin(bool enabled) { return platform::LoginItem::setEnabled(enabled); }

}  // namespace folioport
