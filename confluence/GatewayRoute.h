#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "confluence/ConfluenceConfig.h"

namespace folioport {

/// Where the API gateway lives; only tests pass another root (a fake on loopback).
inline constexpr std::string_view productionGatewayRoot = "https://api.atlassian.com";

/// The gateway's base for a site's cloud id: `root` + "/ex/confluence/" + the id; absent unless the id is 1 to 64
/// letters, digits or dashes, so that it can only ever be one path segment.
std::optional<std::string> gatewayBase(std::string_view root, std::string_view cloudId);

/// The REST route a stored "gatewayBaseURL" allows, and why a stored value was not taken.
struct StoredRoute {
    std::string gatewayBaseURL;          ///< exactly a gateway base under the root, or empty: the site itself
    std::optional<std::string> ignored;  ///< one sentence naming the key, when a stored value was dropped
};

/// Takes a stored route only in the gateway's own form under `root` (which is productionGatewayRoot outside
/// tests): anything else, such as another host or plain http, would receive the account's credentials, so it
/// is dropped.
StoredRoute storedRoute(std::string_view stored, std::string_view root = productionGatewayRoot);

/// The route "Done" stores with the `typed` settings (whose own route is not looked at): the one a connection
/// test of exactly these settings decided (`testedRoute`, for the settings `tested`); else none when the site
/// address is another than the `stored` one's, so a route found for one site never carries another's
/// credentials; else the stored route, kept.
std::string routeToStore(const ConfluenceConfig& typed, const ConfluenceConfig& stored, const ConfluenceConfig& tested,
                         const std::optional<std::string>& testedRoute);

}  // namespace folioport
