#pragma once

#include <expected>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "confluence/ConfluenceClient.h"

namespace folioport {

/// A page just created, with the space it went into.
struct PageInSpace {
    Space space;
    Page page;
};

/// Creates a page in the space named by its key: looks the space up by key (one request), then creates
/// the page there under `parentId` when given (an id or a page link, read before any request). The
/// lookup's failure (notFound for an unknown key) ends it before the create. With `adoptEarlier` (an earlier
/// create of this page went unanswered) the page that create made, when the site has one, is answered instead
/// of creating another (earlierCreate).
std::expected<PageInSpace, ConfluenceError> createPageInSpace(const ConfluenceClient& client, std::string_view spaceKey,
                                                              std::string_view title, std::string_view storageBody,
                                                              const std::optional<std::string>& parentId,
                                                              std::stop_token stop = {}, bool adoptEarlier = false);

}  // namespace folioport
