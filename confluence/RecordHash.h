#pragma once

#include <cstddef>
#include <functional>
#include <tuple>
#include <type_traits>

#include "confluence/Records.h"

namespace folioport {

// The fields each record hashes: all of them, as its equality compares all of them.
inline auto hashedFields(const ConfluenceUser& r) { return std::tie(r.accountId, r.displayName, r.email, r.publicName); }
inline auto hashedFields(const Space& r) { return std::tie(r.id, r.key, r.name, r.type, r.status, r.homepageId); }
inline auto hashedFields(const PageVersion& r) {
    return std::tie(r.number, r.message, r.createdAt, r.authorId, r.minorEdit);
}
inline auto hashedFields(const BodyValue& r) { return std::tie(r.value, r.representation); }
inline auto hashedFields(const PageBody& r) { return std::tie(r.storage, r.view, r.atlasDocFormat); }
inline auto hashedFields(const Links& r) { return std::tie(r.webui, r.editui, r.tinyui, r.base, r.next); }
inline auto hashedFields(const Page& r) {
    return std::tie(r.id, r.status, r.title, r.spaceId, r.parentId, r.authorId, r.createdAt, r.version, r.body, r.links);
}
inline auto hashedFields(const SearchContent& r) { return std::tie(r.id, r.type, r.status, r.title); }
inline auto hashedFields(const SearchContainer& r) { return std::tie(r.title, r.displayUrl); }
inline auto hashedFields(const SearchResult& r) {
    return std::tie(r.title, r.excerpt, r.url, r.lastModified, r.content, r.resultGlobalContainer);
}

template <class Record>
concept HashableRecord = requires(const Record& record) { hashedFields(record); };

}  // namespace folioport

/// Hashing for the records, consistent with their equality.
template <folioport::HashableRecord Record>
struct std::hash<Record> {
    std::size_t operator()(const Record& record) const {
        return std::apply(
            [](const auto&... fields) {
                std::size_t seed = 0;
                ((seed ^= std::hash<std::remove_cvref_t<decltype(fields)>>{}(fields) + 0x9e3779b97f4a7c15ull +
                          (seed << 6) + (seed >> 2)),
                 ...);
                return seed;
            },
            folioport::hashedFields(record));
    }
};
