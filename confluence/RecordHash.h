#pragma once

#include <cstddef>
#include <functional>

#include "confluence/Records.h"

namespace folioport::detail {

/// Combines the hashes of all fields, in order, so records hash consistently with their equality.
template <class... Fields>
std::size_t hashFields(const Fields&... fields) {
    std::size_t seed = 0;
    ((seed ^= std::hash<Fields>{}(fields) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2)), ...);
    return seed;
}

}  // namespace folioport::detail

#define FOLIOPORT_RECORD_HASH(Record, ...)                                                \
    template <>                                                                           \
    struct std::hash<folioport::Record> {                                                 \
        std::size_t operator()(const folioport::Record& r) const {                        \
            return folioport::detail::hashFields(__VA_ARGS__);                            \
        }                                                                                 \
    };

FOLIOPORT_RECORD_HASH(ConfluenceUser, r.accountId, r.displayName, r.email, r.publicName)
FOLIOPORT_RECORD_HASH(Space, r.id, r.key, r.name, r.type, r.status, r.homepageId)
FOLIOPORT_RECORD_HASH(PageVersion, r.number, r.message, r.createdAt, r.authorId, r.minorEdit)
FOLIOPORT_RECORD_HASH(BodyValue, r.value, r.representation)
FOLIOPORT_RECORD_HASH(PageBody, r.storage, r.view, r.atlasDocFormat)
FOLIOPORT_RECORD_HASH(Links, r.webui, r.editui, r.tinyui, r.base, r.next)
FOLIOPORT_RECORD_HASH(Page, r.id, r.status, r.title, r.spaceId, r.parentId, r.authorId, r.createdAt, r.version,
                      r.body, r.links)
FOLIOPORT_RECORD_HASH(SearchContent, r.id, r.type, r.status, r.title)
FOLIOPORT_RECORD_HASH(SearchContainer, r.title, r.displayUrl)
FOLIOPORT_RECORD_HASH(SearchResult, r.title, r.excerpt, r.url, r.lastModified, r.content, r.resultGlobalContainer)

#undef FOLIOPORT_RECORD_HASH
