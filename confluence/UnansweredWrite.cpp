#include "confluence/UnansweredWrite.h"

namespace folioport {

bool mayHaveReachedSite(const ConfluenceError& error) {
    // why: a write is one request, so the only call limit it can meet is its time, which ends it unanswered.
    return error.kind == ConfluenceError::Kind::network || error.kind == ConfluenceError::Kind::callLimit;
}

std::expected<std::optional<Page>, ConfluenceError> earlierCreate(const ConfluenceClient& client,
                                                                  std::string_view spaceId, std::string_view title,
                                                                  std::stop_token stop) {
    auto page = client.page(title, spaceId, false, stop);
    if (!page && page.error().kind == ConfluenceError::Kind::notFound) return std::nullopt;
    if (!page) return std::unexpected(page.error());
    auto me = client.currentUser(stop);
    if (!me) return std::unexpected(me.error());
    // why: a page of that title that someone else made is theirs; creating ours then fails as a duplicate.
    if (!me->accountId || page->authorId != me->accountId) return std::nullopt;
    return std::move(*page);
}

std::expected<std::optional<Page>, ConfluenceError> earlierSave(const ConfluenceClient& client, std::string_view pageId,
                                                                std::int64_t baseVersion, std::string_view title,
                                                                std::string_view storageBody, std::stop_token stop) {
    auto page = client.page(pageId, true, stop);
    if (!page) return std::unexpected(page.error());
    if (versionOf(*page) <= baseVersion || page->title != title || storageBodyOf(*page) != storageBody)
        return std::nullopt;
    return std::move(*page);
}

}  // namespace folioport
