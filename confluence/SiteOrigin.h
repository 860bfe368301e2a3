#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folioport {

/// "scheme://host:port" of an http or https address (scheme and host lower-cased, the default port
/// written out), the unit that credentials are bound to. Absent for any other scheme, for an address
/// with user information, and for one whose host holds characters that parsers read differently.
std::optional<std::string> originOf(std::string_view address);

}  // namespace folioport
