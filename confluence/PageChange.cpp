#include "confluence/PageChange.h"

namespace folioport {

std::expected<PageChange, ConfluenceError> latestChange(const ConfluenceClient& client, std::string_view pageId,
                                                        std::optional<std::string> ownAccountId, std::stop_token stop) {
    auto page = client.page(pageId, false, stop);
    if (!page) return std::unexpected(page.error());
    PageChange change{std::move(*page), std::nullopt, false};
    const auto& authorId = change.page.version ? change.page.version->authorId : std::nullopt;
    if (!authorId || authorId->empty()) return change;
    if (!ownAccountId)
        if (const auto me = client.currentUser(stop)) ownAccountId = me->accountId;
    // why: the writer's own save that went unanswered is no one else's change.
    if (authorId == ownAccountId) {
        change.byYou = true;
    } else if (const auto author = client.user(*authorId, stop)) {
        change.author = nameOf(*author);
    }
    return change;
}

}  // namespace folioport
