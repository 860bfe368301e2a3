#include "confluence/ConfluenceError.h"

#include <string_view>

#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr std::size_t bodyCharacterLimit = 300;

std::string friendlyText(int status, std::string_view body) {
    switch (status) {
    case 401: return "Authentication failed — check your email and API token.";
    case 403: return "Access denied — your account may lack permission on this space or page.";
    case 404: return "Not found — check the site URL, space key or page id.";
    case 409: return "Version conflict — the page changed since it was loaded. Reload it and try again.";
    default: return std::string(Utf8::leadingCharacters(body, bodyCharacterLimit));
    }
}

}  // namespace

ConfluenceError ConfluenceError::wrongPage(std::string_view asked, std::string_view answered) {
    return {Kind::wrongPage, 0,
            "Confluence answered with page " + std::string(answered) + " when asked for page " + std::string(asked) +
                ", so Folioport did not use that answer."};
}

std::string describe(const ConfluenceError& error) {
    using enum ConfluenceError::Kind;
    switch (error.kind) {
    case http:
        return "Confluence returned HTTP " + std::to_string(error.status) + ". " +
               friendlyText(error.status, error.text);
    case network: return "Network error: " + error.text;
    case decoding: return "Could not read Confluence's response: " + error.text;
    case notFound: return error.text;
    case notConfigured:
        return "Confluence is not configured. Open Settings and enter your site, email and API token.";
    case badURL: return "The Confluence base URL looks invalid.";
    case offSite:
        return "Confluence pointed to another site (" + error.text +
               "); Folioport sends your credentials only to the configured site, so it stopped there.";
    case wrongPage: return error.text;
    case tooLarge:
        return "Confluence's response is larger than " + std::to_string(maxResponseBytes >> 20) +
               " MB, so Folioport stopped reading it.";
    }
    return {};
}

}  // namespace folioport
