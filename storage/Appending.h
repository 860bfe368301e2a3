#pragma once

#include <string>
#include <string_view>

// Appending forms of the helpers, so the conversions can reuse their buffers.
namespace folioport::Storage::detail {

void appendEscaped(std::string& out, std::string_view text);
void appendDecodedEntities(std::string& out, std::string_view text);
void appendSqueezed(std::string& out, std::string_view text);

/// What an appending form writes for `text`, as a new string.
template <void (*append)(std::string&, std::string_view)>
std::string collected(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append(out, text);
    return out;
}

}  // namespace folioport::Storage::detail
