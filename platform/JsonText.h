#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folioport::platform {

/// The JSON text with each lone surrogate escape (a high one not followed by a low one, or a low one
/// alone) replaced by the escape of U+FFFD, as cut emoji arrive; absent when there is none to replace.
std::optional<std::string> withLoneSurrogatesReplaced(std::string_view json);

}  // namespace folioport::platform
