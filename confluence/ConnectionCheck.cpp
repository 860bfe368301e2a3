#include "confluence/ConnectionCheck.h"

#include <algorithm>
#include <chrono>

#include "confluence/ConfluenceClient.h"
#include "confluence/GatewayRoute.h"
#include "confluence/RecordDecoder.h"
#include "confluence/SiteOrigin.h"
#include "platform/HttpTransport.h"

namespace folioport {
namespace {

// why: tenant_info is a few dozen bytes asked without credentials; a site sending more is not answering it.
constexpr std::size_t maxTenantInfoBytes = 16 * 1024;
constexpr std::chrono::seconds tenantInfoTimeout{20};

/// The gateway base for the site, from the cloud id it names at "/_edge/tenant_info": empty when the site
/// names none that can be used (not a cloud site, a malformed answer); absent when it could not be asked.
std::optional<std::string> gatewayBaseFor(const std::string& site, std::string_view gatewayRoot,
                                          std::stop_token stop) {
    std::string root(gatewayRoot);
    while (root.ends_with('/')) root.pop_back();
    if (!originOf(site) || !originOf(root) || root.find_first_of("?#") != std::string::npos) return std::string();
    // why: no Authorization header: the site answers this for anyone, and it is asked before any route is known.
    platform::HttpRequest request;
    request.url = site + "/_edge/tenant_info";
    request.headers = {{"Accept", "application/json"}};
    request.timeout = tenantInfoTimeout;
    request.followRedirects = false;
    request.maxBodyBytes = maxTenantInfoBytes;
    const auto answer = platform::HttpTransport::send(request, stop);
    // why: an answer too large to be tenant_info is a malformed one; a failed exchange decides nothing.
    const std::string none;
    if (!answer && answer.error().kind == platform::HttpFailure::Kind::tooLarge) return none;
    if (!answer || answer->status >= 500) return std::nullopt;
    if (answer->status != 200) return none;
    const auto info = decodeRecord<TenantInfo>(answer->body);
    if (!info || !info->cloudId) return none;
    return gatewayBase(root, *info->cloudId).value_or(none);
}

}  // namespace

ConnectionCheck checkConnection(ConfluenceConfig typed, std::string_view gatewayRoot, std::stop_token stop) {
    using enum ConnectionCheck::Outcome;
    typed.gatewayBaseURL.clear();
    const ConfluenceClient site(typed);
    if (auto user = site.currentUser(stop))
        return {connected, "Connected as " + nameOf(*user).value_or("user") + ".", ""};
    auto found = site.spaces(1, stop);
    if (found && found->empty()) return {connected, "Connected, but no spaces are visible to this account.", ""};
    if (found) return {connected, "Connected. First visible space: " + found->front().key + ".", ""};
    if (!found.error().refusesCredentials()) return {failed, describe(found.error()), std::nullopt};

    // why: a tenant_info or gateway that cannot be reached says nothing about the route; what is stored stays.
    const ConnectionCheck decidedRefused{refused, describe(found.error()), ""};
    const ConnectionCheck undecided{refused, decidedRefused.sentence, std::nullopt};
    const auto gateway = gatewayBaseFor(typed.normalizedBaseURL(), gatewayRoot, stop);
    if (!gateway) return undecided;
    if (gateway->empty()) return decidedRefused;
    typed.gatewayBaseURL = *gateway;
    auto user = ConfluenceClient(typed).currentUser(stop);
    if (user)
        return {connectedThroughGateway,
                "Connected through the API gateway (scoped token) as " + nameOf(*user).value_or("user") + ".",
                *gateway};
    return user.error().refusesCredentials() ? decidedRefused : undecided;
}

}  // namespace folioport
