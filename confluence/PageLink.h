#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "confluence/ConfluenceConfig.h"
#include "confluence/ConfluenceError.h"

namespace folioport {

/// The most characters a pasted page link or id may have; longer text names no page.
inline constexpr std::size_t longestPageLink = 2048;

/// The page id that text a user pasted names on the configured site. Text without a "/" is an id and
/// comes back unchanged. Text with one is a link (surrounding white space ignored; without a scheme it
/// starts with a host name and https is meant; a path alone is on the site; "/wiki" optional; a query or
/// fragment allowed) in one of these forms: …/wiki/spaces/KEY/pages/ID[/Title],
/// …/wiki/spaces/KEY/pages/edit-v2/ID, …/wiki/pages/viewpage.action?pageId=ID, or the tiny link
/// …/wiki/x/CODE. A link to another origin
/// than the site's fails as otherSiteLink; any other link, and text beyond longestPageLink, fails as notAPage.
/// Never sends a request.
std::expected<std::string, ConfluenceError> pageIdFromLink(std::string_view pasted, const ConfluenceConfig& config);

}  // namespace folioport
