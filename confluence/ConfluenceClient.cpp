#include "confluence/ConfluenceClient.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "confluence/CQL.h"
#include "confluence/RecordDecoder.h"
#include "confluence/SiteOrigin.h"
#include "confluence/SiteRequest.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr int maxListBatch = 250;
constexpr int maxSearchResults = 100;
constexpr std::string_view pagesPath = "/wiki/api/v2/pages";
constexpr std::string_view spacesPath = "/wiki/api/v2/spaces";

/// True for an answer that opens like HTML ("<!DOCTYPE html>", "<html>") rather than JSON.
bool isWebPage(std::string_view body) {
    const std::string_view start = Utf8::trim(body.substr(0, 256), Utf8::isWhiteSpace);
    return start.starts_with('<');
}

template <class T>
std::expected<T, ConfluenceError> decoded(const std::expected<std::string, ConfluenceError>& body) {
    if (!body) return std::unexpected(body.error());
    if (isWebPage(*body)) return std::unexpected(ConfluenceError::webPage());
    auto record = decodeRecord<T>(*body);
    if (!record) return std::unexpected(ConfluenceError::decoding(record.error()));
    return std::move(*record);
}

/// The address of the following batch: absolute and "/wiki/…" links as given, others under "/wiki".
std::optional<std::string> nextAddress(const std::optional<Links>& links) {
    if (!links || !links->next || links->next->empty()) return std::nullopt;
    const std::string& next = *links->next;
    if (next.starts_with("http") || next.starts_with("/wiki")) return next;
    return "/wiki" + next;
}

/// Space keys compared as the site does, ignoring the case of ASCII letters.
bool sameKey(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, Utf8::asciiLowered, Utf8::asciiLowered);
}

std::string batchSize(int limit, int maximum) { return std::to_string(std::min(limit, maximum)); }

std::string serialized(const nlohmann::json& body) {
    // why: a title or body that is not valid UTF-8 is sent with U+FFFD instead of throwing.
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json storageBody(std::string_view value) {
    return {{"representation", "storage"}, {"value", value}};
}

/// The text with every %XX escape decoded (malformed ones kept as they are).
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '%' && i + 2 < text.size() &&
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr == text.data() + i + 3) {
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

/// True for an id that some server could read as a path step or a path ("", ".", "..", anything with
/// a slash), however often it is percent-decoded.
bool isPathLike(std::string_view id) {
    for (std::string text(id);;) {
        if (text.empty() || text == "." || text == ".." || text.find_first_of("/\\") != std::string::npos)
            return true;
        std::string decoded = percentDecoded(text);
        if (decoded == text) return false;
        text = std::move(decoded);
    }
}

/// The REST path of one page; an id that could act as a path step names no page and is not sent.
std::expected<std::string, ConfluenceError> pagePath(std::string_view id) {
    if (isPathLike(id)) return std::unexpected(ConfluenceError::notAPage());
    return std::string(pagesPath) + "/" + pathSegment(id);
}

/// True for an http(s) address; anything else a site may send ("javascript:…") is never handed on.
bool isWebAddress(const std::string& address) { return originOf(address).has_value(); }

/// A link of the site's answer as a browser address: an absolute http(s) one as it is, a "/…" path under
/// `root`; absent for anything else, so the caller falls back to an address of its own.
std::optional<std::string> webAddress(const std::string& link, const std::string& root) {
    if (link.starts_with("http")) return isWebAddress(link) ? std::optional(link) : std::nullopt;
    if (link.starts_with('/') && isWebAddress(root + link)) return root + link;
    return std::nullopt;
}

/// The browser address that opens a page known only by its id.
std::string viewPageURL(const ConfluenceConfig& config, const std::string& id) {
    return config.wikiURL() + "/pages/viewpage.action?pageId=" + id;
}

}  // namespace

ConfluenceClient::ConfluenceClient(ConfluenceConfig config, CallLimits limits, RateLimitRetry retry)
    : config_(std::move(config)),
      limits_(limits),
      retry_(retry),
      deadline_{std::chrono::steady_clock::now() + limits.time, limits.time} {}

std::expected<std::string, ConfluenceError> ConfluenceClient::request(std::string_view method, std::string_view path,
                                                                      const QueryItems& query,
                                                                      const std::optional<std::string>& jsonBody,
                                                                      std::stop_token stop) const {
    return requestSite(config_, method, path, query, jsonBody, std::move(stop), retry_, deadline_);
}

template <class T>
std::expected<std::vector<T>, ConfluenceError> ConfluenceClient::fetchPaged(std::string_view path, QueryItems query,
                                                                            int cap, std::stop_token stop) const {
    if (!config_.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    std::vector<T> records;
    // why: the site refuses limit=0, and a cap of nothing needs no request at all.
    if (cap <= 0) return records;
    std::set<std::string> requested;
    std::size_t gathered = 0;
    for (std::optional<std::string> address = std::string(path); address; query.clear()) {
        // why: a site that links a batch back to itself would otherwise keep us here for ever.
        if (!requested.insert(*address).second) break;
        // why: fresh links to empty or huge batches would otherwise keep a call going without end.
        if (requested.size() > static_cast<std::size_t>(limits_.maxRequests))
            return std::unexpected(ConfluenceError::tooManyRequests(limits_.maxRequests));
        auto body = request("GET", *address, query, std::nullopt, stop);
        if (body && (gathered += body->size()) > limits_.maxBytes)
            return std::unexpected(ConfluenceError::tooManyBytes(limits_.maxBytes));
        auto batch = decoded<MultiResult<T>>(body);
        if (!batch) return std::unexpected(batch.error());
        std::ranges::move(batch->results, std::back_inserter(records));
        if (records.size() >= static_cast<std::size_t>(cap)) break;
        address = nextAddress(batch->links);
    }
    if (records.size() > static_cast<std::size_t>(cap)) records.resize(static_cast<std::size_t>(cap));
    return records;
}

const ConfluenceConfig& ConfluenceClient::config() const { return config_; }

std::expected<ConfluenceUser, ConfluenceError> ConfluenceClient::currentUser(std::stop_token stop) const {
    return decoded<ConfluenceUser>(
        request("GET", "/wiki/rest/api/user/current", {}, std::nullopt, stop));
}

std::expected<ConfluenceUser, ConfluenceError> ConfluenceClient::user(std::string_view accountId,
                                                                     std::stop_token stop) const {
    return decoded<ConfluenceUser>(
        request("GET", "/wiki/rest/api/user", {{"accountId", std::string(accountId)}}, std::nullopt, stop));
}

std::expected<std::vector<Space>, ConfluenceError> ConfluenceClient::spaces(int limit, std::stop_token stop) const {
    return fetchPaged<Space>(spacesPath,
                             {{"status", "current"}, {"sort", "name"}, {"limit", batchSize(limit, maxListBatch)}}, limit,
                             stop);
}

std::expected<std::vector<Space>, ConfluenceError> ConfluenceClient::allSpaces(std::stop_token stop) const {
    const auto reach = std::clamp<std::int64_t>(std::int64_t{limits_.maxRequests} * maxListBatch, 0,
                                                std::numeric_limits<int>::max());
    return spaces(static_cast<int>(reach), stop);
}

std::expected<std::vector<Page>, ConfluenceError> ConfluenceClient::pages(const std::optional<std::string>& spaceId,
                                                                          int limit, std::stop_token stop) const {
    QueryItems query = {{"status", "current"}, {"sort", "-modified-date"}, {"limit", batchSize(limit, maxListBatch)}};
    if (spaceId && !spaceId->empty()) query.emplace_back("space-id", *spaceId);
    return fetchPaged<Page>(pagesPath, std::move(query), limit, stop);
}

std::expected<Space, ConfluenceError> ConfluenceClient::space(std::string_view key, std::stop_token stop) const {
    if (!config_.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    std::string trimmed(Utf8::trim(key, Utf8::isSpaceOrTab));
    auto notFound = ConfluenceError::notFound("No space with key '" + trimmed + "'.");
    // why: the site ignores an empty keys filter, and reads a comma as a list of keys ("NOPE,HR" finds HR).
    if (trimmed.empty() || trimmed.find(',') != std::string::npos) return std::unexpected(notFound);
    auto found = fetchPaged<Space>(spacesPath, {{"keys", trimmed}, {"limit", "1"}}, 1, stop);
    if (!found) return std::unexpected(found.error());
    // why: only a space carrying the key asked for counts; its id is later sent as one value, never a list.
    if (found->empty() || !sameKey(found->front().key, trimmed) || found->front().id.find(',') != std::string::npos)
        return std::unexpected(std::move(notFound));
    return std::move(found->front());
}

std::expected<Page, ConfluenceError> ConfluenceClient::page(std::string_view id, bool withBody,
                                                            std::stop_token stop) const {
    if (!config_.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    const auto path = pagePath(id);
    if (!path) return std::unexpected(path.error());
    QueryItems query;
    if (withBody) query.emplace_back("body-format", "storage");
    auto page = decoded<Page>(request("GET", *path, query, std::nullopt, stop));
    // why: a site or redirect that answers with another page must not make a caller act on that page.
    if (page && page->id != id) return std::unexpected(ConfluenceError::wrongPage(id, page->id));
    return page;
}

std::expected<Page, ConfluenceError> ConfluenceClient::page(std::string_view title, std::string_view spaceId,
                                                            bool withBody, std::stop_token stop) const {
    QueryItems query = {
        {"title", std::string(title)}, {"space-id", std::string(spaceId)}, {"status", "current"}, {"limit", "2"}};
    if (withBody) query.emplace_back("body-format", "storage");
    auto found = fetchPaged<Page>(pagesPath, std::move(query), 2, stop);
    if (!found) return std::unexpected(found.error());
    if (found->empty())
        return std::unexpected(ConfluenceError::notFound("No page titled '" + std::string(title) + "' in that space."));
    // why: a site that answers with another page must not make a caller read or overwrite that page.
    const auto asked = std::ranges::find_if(
        *found, [&](const Page& page) { return page.title == title && page.spaceId == spaceId; });
    if (asked == found->end()) return std::unexpected(ConfluenceError::wrongTitle(title, found->front().id));
    return std::move(*asked);
}

std::expected<Page, ConfluenceError> ConfluenceClient::createPage(std::string_view spaceId, std::string_view title,
                                                                  std::string_view storageBody,
                                                                  const std::optional<std::string>& parentId,
                                                                  std::stop_token stop) const {
    nlohmann::json body = {{"spaceId", spaceId},
                           {"status", "current"},
                           {"title", title},
                           {"body", folioport::storageBody(storageBody)}};
    if (parentId && !parentId->empty()) body["parentId"] = *parentId;
    return decoded<Page>(request("POST", pagesPath, {}, serialized(body), stop));
}

std::expected<Page, ConfluenceError> ConfluenceClient::updatePage(std::string_view id, std::string_view title,
                                                                  std::string_view storageBody,
                                                                  std::int64_t currentVersion,
                                                                  const std::optional<std::string>& message,
                                                                  std::stop_token stop) const {
    // why: wraps instead of overflowing for a version no server would hand out; the site refuses it.
    auto next = static_cast<std::int64_t>(static_cast<std::uint64_t>(currentVersion) + 1);
    nlohmann::json version = {{"number", next}};
    if (message && !message->empty()) version["message"] = *message;
    nlohmann::json body = {{"id", id},
                           {"status", "current"},
                           {"title", title},
                           {"body", folioport::storageBody(storageBody)},
                           {"version", std::move(version)}};
    const auto path = pagePath(id);
    if (!path) return std::unexpected(path.error());
    return decoded<Page>(request("PUT", *path, {}, serialized(body), stop));
}

std::expected<void, ConfluenceError> ConfluenceClient::deletePage(std::string_view id, bool purge,
                                                                  std::stop_token stop) const {
    QueryItems query;
    if (purge) query.emplace_back("purge", "true");
    const auto path = pagePath(id);
    if (!path) return std::unexpected(path.error());
    auto answer = request("DELETE", *path, query, std::nullopt, stop);
    if (!answer) return std::unexpected(answer.error());
    return {};
}

std::expected<std::vector<SearchResult>, ConfluenceError> ConfluenceClient::search(
    std::string_view text, const std::optional<std::string>& spaceKey, int limit, std::stop_token stop) const {
    return search(CQL::textSearch(text, spaceKey), limit, stop);
}

std::expected<std::vector<SearchResult>, ConfluenceError> ConfluenceClient::search(std::string_view cql, int limit,
                                                                                   std::stop_token stop) const {
    if (!config_.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    if (limit <= 0) return std::vector<SearchResult>{};
    auto response = decoded<SearchResponse>(
        request("GET", "/wiki/rest/api/search",
            {{"cql", std::string(cql)}, {"limit", batchSize(limit, maxSearchResults)}}, std::nullopt, stop));
    if (!response) return std::unexpected(response.error());
    return std::move(response->results);
}

std::string ConfluenceClient::webURL(const Page& page) const {
    if (page.links && page.links->webui) {
        const std::optional<std::string>& base = page.links->base;
        if (auto address = webAddress(*page.links->webui, base && isWebAddress(*base) ? *base : config_.wikiURL()))
            return *address;
    }
    return viewPageURL(config_, page.id);
}

std::string ConfluenceClient::webURL(const SearchResult& result) const {
    if (result.url)
        if (auto address = webAddress(*result.url, config_.wikiURL())) return *address;
    if (result.content && result.content->id) return viewPageURL(config_, *result.content->id);
    return config_.wikiURL();
}

}  // namespace folioport
