#include "confluence/PageChange.h"

namespace folioport {

std::expected<PageChange, ConfluenceError> latestChange(const ConfluenceClient& client, std::string_view pageId,
                                                        std::stop_token stop) {
    auto page = client.page(pageId, false, stop);
    if (!page) return std::unexpected(page.error());
    PageChange change{std::move(*page), std::nullopt};
    const auto& authorId = change.page.version ? change.page.version->authorId : std::nullopt;
    if (authorId && !authorId->empty())
        if (const auto author = client.user(*authorId, stop)) change.author = nameOf(*author);
    return change;
}

}  // namespace folioport
