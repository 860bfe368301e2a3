#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "confluence/ConfluenceConfig.h"
#include "confluence/ConfluenceError.h"
#include "confluence/RateLimit.h"
#include "confluence/Records.h"
#include "confluence/SiteRequest.h"

namespace folioport {

/// How far a client's work may go before it fails with a sentence; far beyond real use.
struct CallLimits {
    int maxRequests = 100;                     ///< requests of one listing (25,000 records at 250 a batch)
    std::size_t maxBytes = maxResponseBytes;   ///< all answers of one listing together, as received
    /// All the client's requests together, counted from when it is made: each request's time-out and each
    /// retry wait are cut to what is left.
    std::chrono::milliseconds time{std::chrono::minutes(5)};
};

/// The only code that talks to the Confluence site. A value made for one piece of work (a tool call, a
/// load): every operation blocks its calling thread, is thread-safe, and stops promptly (as a network error)
/// when `stop` is requested. An incomplete config fails every operation with notConfigured before any
/// traffic. A read the site answers 429 is retried once after the wait it asks for (up to longestRetryWait),
/// unless `retry` is never.
class ConfluenceClient {
public:
    explicit ConfluenceClient(ConfluenceConfig config, CallLimits limits = {},
                              RateLimitRetry retry = RateLimitRetry::onceAfterWait);

    /// The settings as given, not normalised.
    const ConfluenceConfig& config() const;

    /// The account of the stored credentials.
    std::expected<ConfluenceUser, ConfluenceError> currentUser(std::stop_token stop = {}) const;
    /// The account with this id, as far as its profile lets the site show it.
    std::expected<ConfluenceUser, ConfluenceError> user(std::string_view accountId, std::stop_token stop = {}) const;
    /// Current spaces by name, at most `limit` (none, and no request, when limit <= 0).
    std::expected<std::vector<Space>, ConfluenceError> spaces(int limit, std::stop_token stop = {}) const;
    /// Every current space by name that the paging limits reach: a site with more than maxRequests full
    /// batches of 250 gives the first ones, without an error.
    std::expected<std::vector<Space>, ConfluenceError> allSpaces(std::stop_token stop = {}) const;
    /// Current pages, most recently modified first, of one space (or all when absent or empty).
    std::expected<std::vector<Page>, ConfluenceError> pages(const std::optional<std::string>& spaceId, int limit,
                                                            std::stop_token stop = {}) const;
    /// The space with this key (spaces and tabs trimmed); notFound when there is none.
    std::expected<Space, ConfluenceError> space(std::string_view key, std::stop_token stop = {}) const;
    /// One page by id, with its storage body when asked.
    std::expected<Page, ConfluenceError> page(std::string_view id, bool withBody, std::stop_token stop = {}) const;
    /// The current page with exactly this title in the space; notFound when there is none, wrongPage when
    /// the site answers with a page of another title or space.
    std::expected<Page, ConfluenceError> page(std::string_view title, std::string_view spaceId, bool withBody,
                                              std::stop_token stop = {}) const;
    /// Creates a current page in storage format; answers the page as created.
    std::expected<Page, ConfluenceError> createPage(std::string_view spaceId, std::string_view title,
                                                    std::string_view storageBody,
                                                    const std::optional<std::string>& parentId,
                                                    std::stop_token stop = {}) const;
    /// Stores version currentVersion + 1 with the full body; a stale version fails with http 409.
    std::expected<Page, ConfluenceError> updatePage(std::string_view id, std::string_view title,
                                                    std::string_view storageBody, std::int64_t currentVersion,
                                                    const std::optional<std::string>& message,
                                                    std::stop_token stop = {}) const;
    /// Moves a page to the trash, or with `purge` deletes a trashed page for good.
    std::expected<void, ConfluenceError> deletePage(std::string_view id, bool purge, std::stop_token stop = {}) const;
    /// Full-text page search, newest change first, optionally within one space; at most 100.
    std::expected<std::vector<SearchResult>, ConfluenceError> search(std::string_view text,
                                                                     const std::optional<std::string>& spaceKey,
                                                                     int limit, std::stop_token stop = {}) const;
    /// Raw CQL search, in the server's order; at most min(limit, 100), none when limit <= 0.
    std::expected<std::vector<SearchResult>, ConfluenceError> search(std::string_view cql, int limit,
                                                                     std::stop_token stop = {}) const;
    /// The page's address in a web browser.
    std::string webURL(const Page& page) const;
    /// The search hit's address in a web browser.
    std::string webURL(const SearchResult& result) const;

private:
    /// One exchange under this client's settings, retry rule and deadline.
    std::expected<std::string, ConfluenceError> request(std::string_view method, std::string_view path,
                                                        const QueryItems& query,
                                                        const std::optional<std::string>& jsonBody,
                                                        std::stop_token stop) const;
    /// GETs batches through the next links until `cap` records are in hand or the site has no more.
    template <class T>
    std::expected<std::vector<T>, ConfluenceError> fetchPaged(std::string_view path, QueryItems query, int cap,
                                                              std::stop_token stop) const;

    ConfluenceConfig config_;
    CallLimits limits_;
    RateLimitRetry retry_;
    CallDeadline deadline_;
};

}  // namespace folioport
