#include "confluence/PageLink.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "confluence/SiteOrigin.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

bool isDigits(std::string_view text) {
    return !text.empty() && text.size() <= 20 && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

/// The 6 bits a character of a tiny-link code stands for.
std::optional<unsigned> sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '_') return 62;  // "+" in plain base64
    if (c == '-') return 63;  // "/" in plain base64
    return std::nullopt;
}

/// A tiny link's code is the page id as 8 bytes, least significant first, in base64 with "_" for "+"
/// and "-" for "/", its "=" padding and all trailing "A"s (zero bits) dropped: page 98306 is "AoAB".
std::optional<std::string> tinyLinkId(std::string_view code) {
    constexpr std::size_t idBits = 64;
    if (code.empty() || code.size() * 6 > idBits + 6) return std::nullopt;
    std::uint64_t id = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const std::optional<unsigned> bits = sextet(code[i]);
        if (!bits) return std::nullopt;
        for (unsigned b = 0; b < 6; ++b) {
            if (!((*bits >> (5 - b)) & 1u)) continue;
            const std::size_t position = i * 6 + b;  // in the byte stream, most significant bit of each byte first
            if (position >= idBits) return std::nullopt;
            id |= std::uint64_t{1} << (position / 8 * 8 + 7 - position % 8);
        }
    }
    if (id == 0) return std::nullopt;
    return std::to_string(id);
}

/// The value of `name` in a query ("a=1&pageId=2").
std::optional<std::string_view> queryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = std::min(query.find('&'), query.size());
        const std::string_view item = query.substr(0, amp);
        if (item.size() > name.size() && item.starts_with(name) && item[name.size()] == '=')
            return item.substr(name.size() + 1);
        query.remove_prefix(std::min(amp + 1, query.size()));
    }
    return std::nullopt;
}

std::vector<std::string_view> segments(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find('/'), path.size());
        if (slash > 0) parts.push_back(path.substr(0, slash));
        path.remove_prefix(std::min(slash + 1, path.size()));
    }
    return parts;
}

/// True when a step of the path is "." or "..", as a browser reads it: "%2e" is a dot, a backslash separates
/// steps, and tabs and line breaks are dropped. why: a browser resolves such steps before it asks for the page, so the
/// link would open another page than the id written in it.
bool hasDotSegment(std::string_view path) {
    std::string step;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        const char c = i < path.size() ? path[i] : '/';
        if (c == '/' || c == '\\') {
            if (step == "." || step == "..") return true;
            step.clear();
        } else if (c == '%' && i + 2 < path.size() && path[i + 1] == '2' && (path[i + 2] == 'e' || path[i + 2] == 'E')) {
            step += '.';
            i += 2;
        } else if (c != '\t' && c != '\n' && c != '\r') {
            step += c;
        }
    }
    return false;
}

/// The id a path (after the origin, without "/wiki") and its query name, or none.
std::optional<std::string> idOfPath(std::string_view path, std::string_view query) {
    const std::vector<std::string_view> parts = segments(path);
    std::optional<std::string_view> id;
    if (parts.size() >= 5 && parts[0] == "spaces" && parts[2] == "pages" && parts[3] == "edit-v2") id = parts[4];
    else if (parts.size() >= 4 && parts[0] == "spaces" && parts[2] == "pages") id = parts[3];
    else if (parts.size() == 2 && parts[0] == "pages" && parts[1] == "viewpage.action")
        id = queryValue(query, "pageId");
    else if (parts.size() == 2 && parts[0] == "x") return tinyLinkId(parts[1]);
    if (!id || !isDigits(*id)) return std::nullopt;
    return std::string(*id);
}

/// An origin as people write a site: the scheme's default port left out.
std::string shown(const std::string& origin) {
    for (std::string_view suffix : {":443", ":80"})
        if (origin.ends_with(suffix) && origin.starts_with(suffix == ":443" ? "https:" : "http:"))
            return origin.substr(0, origin.size() - suffix.size());
    return origin;
}

}  // namespace

std::expected<std::string, ConfluenceError> pageIdFromLink(std::string_view pasted, const ConfluenceConfig& config) {
    const auto noPage = std::unexpected(ConfluenceError::notAPage());
    if (pasted.size() > longestPageLink) return noPage;
    if (pasted.find('/') == std::string_view::npos) return std::string(pasted);

    const std::string base = config.normalizedBaseURL();
    const std::string_view link = Utf8::trim(pasted, Utf8::isWhiteSpace);
    std::string address(link);
    if (link.starts_with('/')) {
        address = base + address;
    } else if (link.find("://") == std::string_view::npos) {
        // why: without a scheme only a host name ("acme.atlassian.net/…") leads a link; "98305/../1" is no link.
        if (link.substr(0, link.find('/')).find('.') == std::string_view::npos) return noPage;
        address = "https://" + address;
    }
    const std::optional<std::string> site = originOf(base);
    if (!site) return std::unexpected(ConfluenceError::badURL());
    const std::optional<std::string> origin = originOf(address);
    if (!origin) return noPage;
    if (*origin != *site) return std::unexpected(ConfluenceError::otherSiteLink(shown(*origin), shown(*site)));

    std::string_view rest = std::string_view(address).substr(address.find("://") + 3);
    rest = rest.substr(std::min(rest.find_first_of("/?#"), rest.size()));
    rest = rest.substr(0, std::min(rest.find('#'), rest.size()));
    const std::size_t question = std::min(rest.find('?'), rest.size());
    std::string_view path = rest.substr(0, question);
    const std::string_view query = rest.substr(std::min(question + 1, rest.size()));
    if (hasDotSegment(path)) return noPage;
    if (path == "/wiki" || path.starts_with("/wiki/")) path.remove_prefix(5);

    if (auto id = idOfPath(path, query)) return std::move(*id);
    return noPage;
}

}  // namespace folioport
