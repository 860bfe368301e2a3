#include "confluence/ConfluenceConfig.h"

#include <algorithm>
#include <string_view>

#include "storage/Utf8.h"

namespace folioport {
namespace {

void dropTrailingSlashes(std::string& text) {
    while (!text.empty() && text.back() == '/') text.pop_back();
}

constexpr std::string_view wikiSuffix = "/wiki";

bool endsWithWikiIgnoringCase(std::string_view text) {
    return text.size() >= wikiSuffix.size() &&
           std::ranges::equal(text.substr(text.size() - wikiSuffix.size()), wikiSuffix, {}, Utf8::asciiLowered);
}

}  // namespace

std::string ConfluenceConfig::normalizedBaseURL() const {
    std::string text(Utf8::trim(baseURL, Utf8::isWhiteSpace));

    dropTrailingSlashes(text);
    if (endsWithWikiIgnoringCase(text)) text.resize(text.size() - wikiSuffix.size());
    dropTrailingSlashes(text);

    // why: schemes are case-insensitive; "HTTPS://…" is written as its lower-case twin, not taken for a host.
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (text.size() >= scheme.size() &&
            std::ranges::equal(std::string_view(text).substr(0, scheme.size()), scheme, {}, Utf8::asciiLowered)) {
            text.replace(0, scheme.size(), scheme);
            return text;
        }
    }
    if (text.empty()) return text;
    return "https://" + text;
}

std::string ConfluenceConfig::wikiURL() const {
    std::string base = normalizedBaseURL();
    return base.empty() ? std::string{} : base + "/wiki";
}

std::string ConfluenceConfig::restBaseURL() const {
    if (gatewayBaseURL.empty()) return normalizedBaseURL();
    std::string base = gatewayBaseURL;
    dropTrailingSlashes(base);
    return base;
}

bool ConfluenceConfig::isComplete() const {
    return !normalizedBaseURL().empty() && !email.empty() && !apiToken.empty();
}

}  // namespace folioport
