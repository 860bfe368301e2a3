#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "confluence/Records.h"

namespace folioport {

/// How far one answer may go before decoding gives up with a sentence: far beyond any real answer.
struct DecodeLimits {
    std::size_t maxDepth = 512;     ///< nesting of arrays and objects
    std::size_t maxRecords = 5000;  ///< elements of a list answer's "results" (the client asks for 250 at most)
};

/// Decodes one response body strictly into T; on failure, a description that names the place,
/// such as "results[3].id: expected a string, found a number". Memory follows what the record keeps,
/// not the size of the answer: members no record reads are parsed but never stored.
/// Instantiated for ConfluenceUser, TenantInfo, Space, Page, MultiResult<Space>, MultiResult<Page>, SearchResponse.
template <class T>
std::expected<T, std::string> decodeRecord(std::string_view json, const DecodeLimits& limits = {});

}  // namespace folioport
