#pragma once

#include <string>
#include <string_view>

// Appending forms of the helpers, so the conversions can reuse their buffers.
namespace folioport::Storage::detail {

void appendEscaped(std::string& out, std::string_view text);
void appendDecodedEntities(std::string& out, std::string_view text);
void appendSqueezed(std::string& out, std::string_view text);

}  // namespace folioport::Storage::detail
