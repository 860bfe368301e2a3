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
};

/// Reads the page without its body, then looks up the author of its current version (a second request,
/// only when the version names one). Only the page read fails it: an author that cannot be looked up is
/// left absent.
std::expected<PageChange, ConfluenceError> latestChange(const ConfluenceClient& client, std::string_view pageId,
                                                        std::stop_token stop = {});

}  // namespace folioport
