#pragma once

#include <string>

namespace folioport {

/// The connection settings a client is built from: kept exactly as stored, normalised only when used.
struct ConfluenceConfig {
    std::string baseURL;
    std::string email;     ///< used unchanged, never trimmed
    std::string apiToken;  ///< used unchanged, never trimmed

    /// The site address trimmed, without trailing "/" or one "/wiki", with "https://" added when no scheme is given.
    std::string normalizedBaseURL() const;
    /// The root of the site's web pages: normalizedBaseURL + "/wiki", or empty when there is no site.
    std::string wikiURL() const;
    /// True when site, e-mail and token are all non-empty (blanks count as present).
    bool isComplete() const;

    bool operator==(const ConfluenceConfig&) const = default;
};

}  // namespace folioport
