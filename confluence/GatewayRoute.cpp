#include "confluence/GatewayRoute.h"

#include <algorithm>

namespace folioport {
namespace {

constexpr std::size_t longestCloudId = 64;
constexpr std::string_view gatewayPath = "/ex/confluence/";

bool isCloudId(std::string_view id) {
    return !id.empty() && id.size() <= longestCloudId && std::ranges::all_of(id, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::string withoutTrailingSlashes(std::string_view text) {
    while (text.ends_with('/')) text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

std::optional<std::string> gatewayBase(std::string_view root, std::string_view cloudId) {
    if (!isCloudId(cloudId)) return std::nullopt;
    return withoutTrailingSlashes(root) + std::string(gatewayPath) + std::string(cloudId);
}

StoredRoute storedRoute(std::string_view stored, std::string_view root) {
    if (stored.empty()) return {};
    // why: compared as text, byte for byte: no case, port, user, dot step, query or trailing slash can slip a
    // second host or scheme past it.
    const std::string prefix = withoutTrailingSlashes(root) + std::string(gatewayPath);
    if (stored.starts_with(prefix) && isCloudId(stored.substr(prefix.size()))) return {std::string(stored), {}};
    return {{},
            "ignoring \"gatewayBaseURL\" in the preferences: it is not the API gateway's address " +
                std::string(productionGatewayRoot) + std::string(gatewayPath) +
                "<cloud id>, so requests go to the site itself"};
}

std::string routeToStore(const ConfluenceConfig& typed, const ConfluenceConfig& stored, const ConfluenceConfig& tested,
                         const std::optional<std::string>& testedRoute) {
    ConfluenceConfig typedAlone = typed;
    typedAlone.gatewayBaseURL.clear();
    ConfluenceConfig testedAlone = tested;
    testedAlone.gatewayBaseURL.clear();
    if (testedRoute && testedAlone == typedAlone) return *testedRoute;
    if (typed.normalizedBaseURL() != stored.normalizedBaseURL()) return {};
    return stored.gatewayBaseURL;
}

}  // namespace folioport
