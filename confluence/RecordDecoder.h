#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "confluence/Records.h"

namespace folioport {

/// Decodes one response body strictly into T; on failure, a description that names the place,
/// such as "results[3].id: expected a string, found a number".
/// Instantiated for ConfluenceUser, Space, Page, MultiResult<Space>, MultiResult<Page>, SearchResponse.
template <class T>
std::expected<T, std::string> decodeRecord(std::string_view json);

}  // namespace folioport
