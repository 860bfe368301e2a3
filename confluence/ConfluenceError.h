#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace folioport {

/// The most one answer of the site may hold once decompressed: far above any real page or batch.
inline constexpr std::size_t maxResponseBytes = std::size_t{64} << 20;

/// The REST client's one error type; every window and the MCP server show describe(error) unchanged.
struct ConfluenceError {
    enum class Kind {
        http, network, decoding, notFound, notConfigured, badURL, offSite, wrongPage, tooLarge, webPage, callLimit,
        otherSiteLink, notAPage
    };

    Kind kind;
    int status = 0;    ///< http only
    /// http: the body (empty when not UTF-8); network, decoding, notFound, wrongPage, callLimit, otherSiteLink:
    /// the message; offSite: the other origin
    std::string text;
    /// http only: the seconds a Retry-After header asked to wait; absent when there was none (or none readable)
    std::optional<std::int64_t> waitSeconds;

    static ConfluenceError http(int status, std::string body, std::optional<std::int64_t> waitSeconds = std::nullopt) {
        return {Kind::http, status, std::move(body), waitSeconds};
    }
    static ConfluenceError network(std::string message) { return {Kind::network, 0, std::move(message), {}}; }
    static ConfluenceError decoding(std::string message) { return {Kind::decoding, 0, std::move(message), {}}; }
    static ConfluenceError notFound(std::string message) { return {Kind::notFound, 0, std::move(message), {}}; }
    static ConfluenceError notConfigured() { return {Kind::notConfigured, 0, {}, {}}; }
    static ConfluenceError badURL() { return {Kind::badURL, 0, {}, {}}; }
    /// A paging link or redirect led away from the site's own origin; nothing was sent there.
    static ConfluenceError offSite(std::string origin) { return {Kind::offSite, 0, std::move(origin), {}}; }
    /// The site answered a read of one page with another page.
    static ConfluenceError wrongPage(std::string_view asked, std::string_view answered);
    /// One answer grew beyond maxResponseBytes once decompressed; reading stopped there.
    static ConfluenceError tooLarge() { return {Kind::tooLarge, 0, {}, {}}; }
    /// The site answered a lookup by title with a page of another title or space.
    static ConfluenceError wrongTitle(std::string_view title, std::string_view answered);
    /// A 2xx answer that is a web page (a sign-in page, a proxy's notice), not the API's data.
    static ConfluenceError webPage() { return {Kind::webPage, 0, {}, {}}; }
    /// One call's batches went past a bound: more requests, more bytes in all, or more time.
    static ConfluenceError tooManyRequests(int requests);
    static ConfluenceError tooManyBytes(std::size_t bytes);
    static ConfluenceError tooSlow(std::chrono::milliseconds deadline);
    /// A pasted page link names a page on another site than the configured one; both as "scheme://host[:port]".
    static ConfluenceError otherSiteLink(std::string_view linkSite, std::string_view configuredSite);
    /// Text given as a page's id or link names no page (a path step, a link of no page's form); nothing was sent.
    static ConfluenceError notAPage() { return {Kind::notAPage, 0, {}, {}}; }

    /// True for the site's refusal of the e-mail and token (HTTP 401).
    bool refusesCredentials() const { return kind == Kind::http && status == 401; }
    /// True for the site's refusal of a version that is no longer the next one (HTTP 409).
    bool isVersionConflict() const { return kind == Kind::http && status == 409; }

    bool operator==(const ConfluenceError&) const = default;
};

/// The user-facing sentence of an error.
std::string describe(const ConfluenceError& error);

}  // namespace folioport
