#include "confluence/PageInSpace.h"

namespace folioport {

std::expected<PageInSpace, ConfluenceError> createPageInSpace(const ConfluenceClient& client, std::string_view spaceKey,
                                                              std::string_view title, std::string_view storageBody,
                                                              const std::optional<std::string>& parentId,
                                                              std::stop_token stop) {
    auto space = client.space(spaceKey, stop);
    if (!space) return std::unexpected(space.error());
    auto page = client.createPage(space->id, title, storageBody, parentId, stop);
    if (!page) return std::unexpected(page.error());
    return PageInSpace{std::move(*space), std::move(*page)};
}

}  // namespace folioport
