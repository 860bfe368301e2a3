#include "confluence/SiteRequest.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "confluence/SiteOrigin.h"
#include "platform/HttpTransport.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr int maxRedirects = 10;
constexpr std::chrono::milliseconds requestTimeout{std::chrono::seconds(60)};

/// Every byte outside A-Z a-z 0-9 - _ ~ as %XX (so "." and ".." can never act as path steps).
std::string percentEncode(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        // why: not std::isalnum, which under a single-byte locale would pass letters above ASCII unencoded.
        const bool asciiAlphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (asciiAlphanumeric || c == '-' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return out;
}

/// The address with the query items appended after any it already has (a fragment stays last).
std::string withQuery(std::string address, const QueryItems& query) {
    if (query.empty()) return address;
    std::size_t hash = address.find('#');
    std::string fragment = hash == std::string::npos ? std::string{} : address.substr(hash);
    address.resize(std::min(hash, address.size()));
    char separator = address.find('?') == std::string::npos ? '?' : '&';
    for (const auto& [name, value] : query) {
        address += separator;
        address += percentEncode(name) + '=' + percentEncode(value);
        separator = '&';
    }
    return address + fragment;
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/// Points the request at a redirect's target, turning it into a bodiless GET where HTTP clients do
/// (any 303; a 301 or 302 answering a POST).
void followRedirect(platform::HttpRequest& request, int status, std::string location) {
    request.url = std::move(location);
    if (status == 303 || ((status == 301 || status == 302) && request.method == "POST")) {
        request.method = "GET";
        request.body.reset();
        std::erase_if(request.headers, [](const auto& header) { return header.first == "Content-Type"; });
    }
}

/// Sleeps for `wait`, or until `stop` is requested if that comes first.
void sleepUnlessStopped(std::chrono::seconds wait, std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, wait, [] { return false; });
}

ConfluenceError errorOf(const platform::HttpFailure& failure) {
    switch (failure.kind) {
    case platform::HttpFailure::Kind::badURL: return ConfluenceError::badURL();
    case platform::HttpFailure::Kind::tooLarge: return ConfluenceError::tooLarge();
    case platform::HttpFailure::Kind::transport:
    case platform::HttpFailure::Kind::tooSlow: break;  // only a request with a low-speed limit gets it
    }
    return ConfluenceError::network(failure.message);
}

}  // namespace

std::string pathSegment(std::string_view id) { return percentEncode(id); }

std::expected<std::string, ConfluenceError> requestSite(const ConfluenceConfig& config, std::string_view method,
                                                        std::string_view path, const QueryItems& query,
                                                        const std::optional<std::string>& jsonBody,
                                                        std::stop_token stop, RateLimitRetry retry,
                                                        const CallDeadline& deadline) {
    if (!config.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    const std::string site = config.normalizedBaseURL();
    const std::string base = config.restBaseURL();
    // why: a query or fragment in the site or gateway address would put every path after it, not after the host.
    const auto usable = [](const std::string& address) {
        return originOf(address) && address.find_first_of("?#") == std::string::npos;
    };
    if (!usable(site) || !usable(base)) return std::unexpected(ConfluenceError::badURL());
    // why: the credentials go to exactly two origins: the site's and, once one is stored, the gateway's.
    const std::optional<std::string> siteOrigin = originOf(site), restOrigin = originOf(base);

    platform::HttpRequest request;
    request.method = std::string(method);
    request.url = withQuery(path.starts_with("http") ? std::string(path) : base + std::string(path), query);
    request.headers = {{"Accept", "application/json"},
                       {"Authorization", "Basic " + base64(config.email + ":" + config.apiToken)}};
    if (jsonBody) {
        request.headers.emplace_back("Content-Type", "application/json");
        request.body = jsonBody;
    }
    // why: redirects are judged here, by the same origin rule as paging links, not by the transport.
    request.followRedirects = false;
    request.maxBodyBytes = maxResponseBytes;

    // why: only a read may go out twice; a write the site refused with 429 is reported, never repeated.
    bool mayRetry = retry == RateLimitRetry::onceAfterWait && method == "GET";
    for (int redirects = 0;;) {
        // why: whatever a link or redirect names, nothing goes beyond those two.
        if (const std::optional<std::string> origin = originOf(request.url); origin != siteOrigin && origin != restOrigin)
            return std::unexpected(
                ConfluenceError::offSite(origin.value_or(std::string(Utf8::leadingCharacters(request.url, 100)))));
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline.at - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds(0)) return std::unexpected(ConfluenceError::tooSlow(deadline.length));
        // why: one deadline for the whole call; no single exchange may outlast it.
        request.timeout = std::min(requestTimeout, left);
        auto response = platform::HttpTransport::send(request, stop);
        // why: the transport's own timer may end a cut exchange a moment before the deadline by our clock.
        constexpr std::chrono::milliseconds clockSlack{50};
        if (!response && !stop.stop_requested() && request.timeout < requestTimeout &&
            std::chrono::steady_clock::now() + clockSlack >= deadline.at)
            return std::unexpected(ConfluenceError::tooSlow(deadline.length));
        if (!response) return std::unexpected(errorOf(response.error()));
        if (isRedirect(response->status) && !response->location.empty() && redirects < maxRedirects) {
            ++redirects;
            followRedirect(request, response->status, std::move(response->location));
            continue;
        }
        std::optional<std::chrono::seconds> wait;
        if (response->status == 429) wait = retryAfterDelay(response->retryAfter, std::chrono::system_clock::now());
        // why: a wait that would end past the deadline is not sat through; the site's answer is reported now.
        if (wait && mayRetry && *wait <= longestRetryWait && std::chrono::steady_clock::now() + *wait < deadline.at) {
            mayRetry = false;
            // why: a stop during the wait goes on to the transport, which ends a stopped request as it always does.
            sleepUnlessStopped(*wait, stop);
            continue;
        }
        if (response->status < 200 || response->status > 299) {
            std::string body = Utf8::isValid(response->body) ? std::move(response->body) : std::string{};
            return std::unexpected(ConfluenceError::http(
                response->status, std::move(body), wait ? std::optional(wait->count()) : std::nullopt));
        }
        return std::move(response->body);
    }
}

}  // namespace folioport
