#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace folioport {

// Immutable values decoded from the site's JSON answers. An optional field is absent when its
// key was missing or null; nothing is defaulted. Dates stay text until ConfDate shows them.

/// The account of the stored credentials (older API's current-user endpoint).
struct ConfluenceUser {
    std::optional<std::string> accountId;
    std::optional<std::string> displayName;
    std::optional<std::string> email;
    std::optional<std::string> publicName;
    bool operator==(const ConfluenceUser&) const = default;
};

/// What a site says about itself at "/_edge/tenant_info", asked without credentials.
struct TenantInfo {
    std::optional<std::string> cloudId;
    bool operator==(const TenantInfo&) const = default;
};

/// A space of the newer API; id and key are required, everything else may be absent.
struct Space {
    std::string id;
    std::string key;
    std::optional<std::string> name;
    std::optional<std::string> type;
    std::optional<std::string> status;
    std::optional<std::string> homepageId;
    bool operator==(const Space&) const = default;
};

/// A page's version block; createdAt is the time of its latest change.
struct PageVersion {
    std::optional<std::int64_t> number;
    std::optional<std::string> message;
    std::optional<std::string> createdAt;
    std::optional<std::string> authorId;
    std::optional<bool> minorEdit;
    bool operator==(const PageVersion&) const = default;
};

/// One representation of a page body.
struct BodyValue {
    std::optional<std::string> value;
    std::optional<std::string> representation;
    bool operator==(const BodyValue&) const = default;
};

/// The representations of a page body that the site sent.
struct PageBody {
    std::optional<BodyValue> storage;         ///< storage format (XHTML)
    std::optional<BodyValue> view;
    std::optional<BodyValue> atlasDocFormat;  ///< JSON key "atlas_doc_format"
    bool operator==(const PageBody&) const = default;
};

/// The "_links" object of pages and of list responses.
struct Links {
    std::optional<std::string> webui;
    std::optional<std::string> editui;
    std::optional<std::string> tinyui;
    std::optional<std::string> base;
    std::optional<std::string> next;
    bool operator==(const Links&) const = default;
};

/// A page of the newer API; only id is required.
struct Page {
    std::string id;
    std::optional<std::string> status;
    std::optional<std::string> title;
    std::optional<std::string> spaceId;
    std::optional<std::string> parentId;
    std::optional<std::string> authorId;
    std::optional<std::string> createdAt;
    std::optional<PageVersion> version;
    std::optional<PageBody> body;  ///< only when the body was asked for
    std::optional<Links> links;    ///< JSON key "_links"

    /// The storage body as plain text; absent without a storage value or when it converts to "".
    std::optional<std::string> plainTextBody() const;

    bool operator==(const Page&) const = default;
};

/// How an account is named: the first present of displayName, publicName and email.
std::optional<std::string> nameOf(const ConfluenceUser& user);
/// The page's title when present and not empty, else "(untitled)".
std::string titleOf(const Page& page);
/// The page's version number, or 1 when it carries none.
std::int64_t versionOf(const Page& page);
/// The page's storage body, or empty when the page was read without one.
std::string storageBodyOf(const Page& page);

/// One batch of a list response of the newer API; links.next drives paging.
template <class T>
struct MultiResult {
    std::vector<T> results;
    std::optional<Links> links;
};

/// The content a search hit points at.
struct SearchContent {
    std::optional<std::string> id;
    std::optional<std::string> type;
    std::optional<std::string> status;
    std::optional<std::string> title;
    bool operator==(const SearchContent&) const = default;
};

/// The space a search hit lies in.
struct SearchContainer {
    std::optional<std::string> title;  ///< the space's name
    std::optional<std::string> displayUrl;
    bool operator==(const SearchContainer&) const = default;
};

/// One hit of the older API's search.
struct SearchResult {
    std::optional<std::string> title;
    std::optional<std::string> excerpt;  ///< storage fragment with highlight markers
    std::optional<std::string> url;
    std::optional<std::string> lastModified;
    std::optional<SearchContent> content;
    std::optional<SearchContainer> resultGlobalContainer;

    /// content.id, else url, else a fresh random UUID (so such a result has no stable identity).
    std::string id() const;
    /// The excerpt as plain text without highlight markers, trimmed; absent when that is empty.
    std::optional<std::string> plainExcerpt() const;

    bool operator==(const SearchResult&) const = default;
};

/// The older API's search answer.
struct SearchResponse {
    std::vector<SearchResult> results;
    std::optional<std::int64_t> totalSize;
};

}  // namespace folioport
