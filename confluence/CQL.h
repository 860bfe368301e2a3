#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folioport::CQL {

/// The text inside double quotes of a CQL string: backslashes doubled first, then quotes escaped,
/// so no input can end the string early or change the query around it.
std::string quoted(std::string_view text);

/// Pages matching the text, within the space when a non-blank key is given, newest change first.
std::string textSearch(std::string_view text, const std::optional<std::string>& spaceKey);

}  // namespace folioport::CQL
