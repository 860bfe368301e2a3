#pragma once

#include <expected>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "confluence/ConfluenceClient.h"

namespace folioport {

/// A page's latest version as the site holds it now, and who saved it: what a writer is told when its
/// save met a version newer than the one it edited.
struct PageChange {
    Page page;                          ///< without its body; version.number and version.createdAt as the site has them
    std::optional<std::string> author;  ///< how the version's author is named; absent when the site would not say
    bool byYou = false;                 ///< the version's author is the signed-in account (then `author` is absent)
};

/// Reads the page without its body, then tells whether the author of its current version is the signed-in
/// account (`ownAccountId`, asked of the site when unknown) and otherwise looks that author up. Only the page
/// read fails it: an author that cannot be looked up is left absent.
std::expected<PageChange, ConfluenceError> latestChange(const ConfluenceClient& client, std::string_view pageId,
                                                        std::optional<std::string> ownAccountId,
                                                        std::stop_token stop = {});

}  // namespace folioport
