#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "confluence/ConfluenceConfig.h"
#include "confluence/GatewayRoute.h"

namespace folioport {

/// What the settings-time check of typed credentials found, and the route it decided.
struct ConnectionCheck {
    enum class Outcome {
        connected,                ///< the site itself took the credentials
        connectedThroughGateway,  ///< only the API gateway took them (a scoped token)
        refused,                  ///< the site refused them (401) and no gateway took them either
        failed                    ///< the site could not be asked, or failed otherwise; nothing is known of them
    };

    Outcome outcome;
    std::string sentence;  ///< the one sentence the settings window shows
    /// The REST route to store: a gateway base when the credentials work only there, empty when the site takes
    /// them itself; absent when the answers decide nothing (a network failure, a site error), so what is
    /// stored stays.
    std::optional<std::string> gatewayBaseURL;

    bool connected() const { return outcome == Outcome::connected || outcome == Outcome::connectedThroughGateway; }
    bool operator==(const ConnectionCheck&) const = default;
};

/// The settings window's connection test, which never fails: the current user, else one space, asked of the
/// site itself (any gateway in `typed` is ignored). When the site answers 401, the site's cloud id is asked
/// at "/_edge/tenant_info" without credentials and the current user once through
/// `<gatewayRoot>/ex/confluence/<cloudId>` with the typed credentials. Blocks; never on a UI thread.
ConnectionCheck checkConnection(ConfluenceConfig typed, std::string_view gatewayRoot = productionGatewayRoot,
                                std::stop_token stop = {});

}  // namespace folioport
