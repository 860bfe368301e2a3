#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SiteData.h"

namespace folioport::fake {

using QueryItems = std::vector<std::pair<std::string, std::string>>;

/// Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~.
std::string percentEncode(std::string_view text);
/// The decoded name/value pairs of a raw query, in the order sent ('+' read as a blank).
QueryItems parseQuery(std::string_view rawQuery);

/// One request as the site sees it: the path still percent-encoded, the query decoded in order.
struct ApiRequest {
    std::string method;
    std::string path;
    QueryItems query;
    std::string authorization;
    std::string body;

    /// "METHOD path?name=value&…" with the values decoded, in the order sent: how tests compare requests.
    std::string line() const;
};

struct ApiResponse {
    int status = 200;
    std::string body;  ///< JSON, or empty
    std::string link;  ///< the Link header of a list answer, empty for none
};

/// How the site writes `_links.next`: "/wiki/api/v2/…" (as the real site does), "/api/v2/…", or absolute.
enum class NextLinkStyle { wikiPath, apiPath, absolute };

/// The REST behaviour of the fake site over its data; not thread-safe (the server serialises calls).
class FakeApi {
public:
    explicit FakeApi(SiteData data) : data_(std::move(data)) {}

    /// Answers one request; `siteURL` is scheme://host:port, for absolute links. Through the gateway (the
    /// request's path already without "/ex/confluence/<cloudId>") the scoped token is accepted too.
    ApiResponse answer(const ApiRequest& request, std::string_view siteURL, bool viaGateway = false);

    SiteData& data() { return data_; }
    void setNextLinkStyle(NextLinkStyle style) { nextLinkStyle_ = style; }

private:
    SiteData data_;
    NextLinkStyle nextLinkStyle_ = NextLinkStyle::wikiPath;
};

}  // namespace folioport::fake
