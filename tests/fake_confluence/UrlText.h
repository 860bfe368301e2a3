#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folioport::fake {

using QueryItems = std::vector<std::pair<std::string, std::string>>;

/// Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~.
std::string percentEncode(std::string_view text);
/// Decodes %XX escapes; with `plusIsSpace`, also '+' as a blank (query items).
std::string percentDecode(std::string_view text, bool plusIsSpace);
/// The decoded name/value pairs of a raw query, in the order sent.
QueryItems parseQuery(std::string_view rawQuery);
/// name=value pairs joined by '&', each side percent-encoded.
std::string formatQuery(const QueryItems& items);

}  // namespace folioport::fake
