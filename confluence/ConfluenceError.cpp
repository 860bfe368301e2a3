#include "confluence/ConfluenceError.h"

#include <string_view>

#include <nlohmann/json.hpp>

#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr std::size_t bodyCharacterLimit = 300;
// why: an error envelope is a few hundred bytes; a larger body is shown as text rather than parsed.
constexpr std::size_t envelopeByteLimit = 16 * 1024;

/// The words of the site's error envelope: the titles of the newer API's "errors" (joined by a blank) or the
/// older API's "message"; empty for any other body.
std::string envelopeWords(std::string_view body) {
    if (body.size() > envelopeByteLimit) return {};
    const auto parsed = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return {};
    std::string words;
    if (const auto errors = parsed.find("errors"); errors != parsed.end() && errors->is_array()) {
        for (const auto& error : *errors) {
            const auto title = error.is_object() ? error.find("title") : error.end();
            if (title == error.end() || !title->is_string() || title->get_ref<const std::string&>().empty()) continue;
            words += (words.empty() ? "" : " ") + Utf8::oneLine(title->get_ref<const std::string&>());
        }
    } else if (const auto message = parsed.find("message"); message != parsed.end() && message->is_string()) {
        words = Utf8::oneLine(message->get_ref<const std::string&>());
    }
    return words;
}

std::string friendlyText(int status, std::string_view body) {
    switch (status) {
    case 401: return "Authentication failed — check your email and API token.";
    case 403: return "Access denied — your account may lack permission on this space or page.";
    case 404: return "Not found — check the site URL, space key or page id.";
    case 409: return "Version conflict — the page changed since it was loaded. Reload it and try again.";
    default: {
        // why: the site's own words rather than its JSON ("A page with this title already exists in this space").
        std::string words = envelopeWords(body);
        if (!words.empty() && !words.ends_with('.') && !words.ends_with('!') && !words.ends_with('?')) words += '.';
        return std::string(Utf8::leadingCharacters(words.empty() ? body : words, bodyCharacterLimit));
    }
    }
}

}  // namespace

ConfluenceError ConfluenceError::wrongPage(std::string_view asked, std::string_view answered) {
    return {Kind::wrongPage, 0,
            "Confluence answered with page " + std::string(answered) + " when asked for page " + std::string(asked) +
                ", so Folioport did not use that answer.", {}};
}

ConfluenceError ConfluenceError::wrongTitle(std::string_view title, std::string_view answered) {
    return {Kind::wrongPage, 0,
            "Confluence answered the lookup of the page titled '" + Utf8::oneLine(title) + "' with page " +
                Utf8::oneLine(answered) + ", which carries another title or lies in another space, so Folioport " +
                "did not use that answer.", {}};
}

ConfluenceError ConfluenceError::tooManyRequests(int requests) {
    return {Kind::callLimit, 0,
            "Confluence kept sending further batches; Folioport stops after " + std::to_string(requests) +
                " requests for one call.", {}};
}

ConfluenceError ConfluenceError::tooManyBytes(std::size_t bytes) {
    return {Kind::callLimit, 0,
            "Confluence's answers to one call add up to more than " +
                (bytes % (1 << 20) == 0 ? std::to_string(bytes >> 20) + " MB" : std::to_string(bytes) + " bytes") +
                ", so Folioport stopped reading them.", {}};
}

ConfluenceError ConfluenceError::tooSlow(std::chrono::milliseconds deadline) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(deadline).count();
    const std::string bound = deadline.count() % 1000 == 0 ? std::to_string(seconds) + " seconds"
                                                           : std::to_string(deadline.count()) + " ms";
    return {Kind::callLimit, 0,
            "Confluence's answers to one call took longer than " + bound + " in all, so Folioport stopped.", {}};
}

ConfluenceError ConfluenceError::otherSiteLink(std::string_view linkSite, std::string_view configuredSite) {
    return {Kind::otherSiteLink, 0,
            "That link points to " + Utf8::oneLine(linkSite) + ", but Folioport is set up for " +
                Utf8::oneLine(configuredSite) + "; paste a link to a page on that site, or the page's id.", {}};
}

std::string describe(const ConfluenceError& error) {
    using enum ConfluenceError::Kind;
    switch (error.kind) {
    case http:
        return "Confluence returned HTTP " + std::to_string(error.status) + ". " +
               friendlyText(error.status, error.text) +
               (error.waitSeconds ? " Confluence asks to wait " + std::to_string(*error.waitSeconds) + " seconds."
                                  : "");
    case network: return "Network error: " + error.text;
    case decoding: return "Could not read Confluence's response: " + error.text;
    case notFound: return error.text;
    case notConfigured:
        return "Confluence is not configured. Open Settings and enter your site, email and API token.";
    case badURL: return "The Confluence base URL looks invalid.";
    case offSite:
        return "Confluence pointed to another site (" + error.text +
               "); Folioport sends your credentials only to the configured site, so it stopped there.";
    case wrongPage:
    case callLimit:
    case otherSiteLink: return error.text;
    case notAPage: return "That is not a page id or a link to a page, so nothing was sent to Confluence.";
    case tooLarge:
        return "Confluence's response is larger than " + std::to_string(maxResponseBytes >> 20) +
               " MB, so Folioport stopped reading it.";
    case webPage:
        return "Confluence answered with a web page instead of data. Check that the site address is your "
               "Confluence Cloud site (such as https://your-team.atlassian.net) and that no sign-in page or proxy "
               "stands in between.";
    }
    return {};
}

}  // namespace folioport
