#pragma once

#include <string>

namespace folioport {

/// The connection settings a client is built from: kept exactly as stored, normalised only when used.
struct ConfluenceConfig {
    std::string baseURL;
    std::string email;     ///< used unchanged, never trimmed
    std::string apiToken;  ///< used unchanged, never trimmed
    /// The API gateway's base for this site ("https://api.atlassian.com/ex/confluence/<cloudId>") when its
    /// token works only there; empty: REST requests go to the site itself.
    std::string gatewayBaseURL;

    /// The site address trimmed, without trailing "/" or one "/wiki", with "https://" added when no scheme is given.
    std::string normalizedBaseURL() const;
    /// The root of the site's web pages: normalizedBaseURL + "/wiki", or empty when there is no site.
    std::string wikiURL() const;
    /// Where REST paths are appended: the gateway base when one is stored, else normalizedBaseURL.
    std::string restBaseURL() const;
    /// True when site, e-mail and token are all non-empty (blanks count as present).
    bool isComplete() const;

    bool operator==(const ConfluenceConfig&) const = default;
};

}  // namespace folioport
