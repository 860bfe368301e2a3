#include <QUrl>

#include "confluence/StoredSettings.h"
#include "state/AppStore.h"
#include "state/OffThread.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr int searchLimit = 50;

}  // namespace

void AppStore::selectSpace(const std::string& key) {
    setSpaceKey(key);
    // why: like every settings write, a failed one goes unreported; the choice is then lost at the next start.
    StoredSettings::saveSpaceKey(key, options_.preferencesFile);
    load(false);
}

void AppStore::trashPage(const Page& page, std::function<void(bool)> onDone) {
    assign(errorMessage_, std::nullopt, &AppStore::errorMessageChanged);
    insertBusyPageId(page.id);
    runOffThread(
        pool_, this,
        [client = ConfluenceClient(config()), id = page.id, stop = stop_.get_token()] {
            return client.deletePage(id, false, stop);
        },
        [this, id = page.id, onDone = std::move(onDone)](std::expected<void, ConfluenceError> trashed) {
            auto finish = [this, id, onDone](bool outcome) {
                removeBusyPageId(id);
                if (onDone) onDone(outcome);
            };
            if (!trashed) {
                assign(errorMessage_, describe(trashed.error()), &AppStore::errorMessageChanged);
                return finish(false);
            }
            std::erase_if(pages_, [&](const Page& listed) { return listed.id == id; });
            Q_EMIT pagesChanged();
            load(true, [finish] { finish(true); });
        });
}

void AppStore::search(const std::string& text, bool inSelectedSpaceOnly,
                      std::function<void(std::vector<SearchResult>)> onDone) {
    const std::string query(Utf8::trim(text, Utf8::isWhiteSpace));
    if (query.empty()) return onDone({});
    assign(errorMessage_, std::nullopt, &AppStore::errorMessageChanged);
    const std::string restriction(inSelectedSpaceOnly ? Utf8::trim(spaceKey_, Utf8::isSpaceOrTab) : "");
    runOffThread(
        pool_, this,
        [client = ConfluenceClient(config()), query,
         spaceKey = restriction.empty() ? std::nullopt : std::optional(restriction), stop = stop_.get_token()] {
            return client.search(query, spaceKey, searchLimit, stop);
        },
        [this, onDone = std::move(onDone)](std::expected<std::vector<SearchResult>, ConfluenceError> found) {
            if (!found) {
                assign(errorMessage_, describe(found.error()), &AppStore::errorMessageChanged);
                return onDone({});
            }
            onDone(std::move(*found));
        });
}

void AppStore::copyLink(const Page& page) const {
    options_.copyText(titleOf(page) + " \u2014 " + ConfluenceClient(config()).webURL(page));
}

void AppStore::open(const std::string& address) const {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty()) options_.openURL(url);
}

}  // namespace folioport
