#include "confluence/PageInSpace.h"

#include "confluence/PageLink.h"
#include "confluence/UnansweredWrite.h"

namespace folioport {

std::expected<PageInSpace, ConfluenceError> createPageInSpace(const ConfluenceClient& client, std::string_view spaceKey,
                                                              std::string_view title, std::string_view storageBody,
                                                              const std::optional<std::string>& parentId,
                                                              std::stop_token stop, bool adoptEarlier) {
    std::optional<std::string> parent;
    if (parentId) {
        auto id = pageIdFromLink(*parentId, client.config());
        if (!id) return std::unexpected(id.error());
        parent = std::move(*id);
    }
    auto space = client.space(spaceKey, stop);
    if (!space) return std::unexpected(space.error());
    if (adoptEarlier) {
        auto earlier = earlierCreate(client, space->id, title, stop);
        if (!earlier) return std::unexpected(earlier.error());
        if (*earlier) return PageInSpace{std::move(*space), std::move(**earlier)};
    }
    auto page = client.createPage(space->id, title, storageBody, parent, stop);
    if (!page) return std::unexpected(page.error());
    return PageInSpace{std::move(*space), std::move(*page)};
}

}  // namespace folioport
