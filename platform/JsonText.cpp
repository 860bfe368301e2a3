#include "platform/JsonText.h"

#include <algorithm>
#include <charconv>

namespace folioport::platform {
namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

std::optional<std::string> withLoneSurrogatesReplaced(std::string_view text) {
    auto unitAt = [&](std::size_t at) -> std::optional<unsigned> {  // the code unit of the escape at `at`
        if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u' ||
            !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at + 2), text.begin() + static_cast<std::ptrdiff_t>(at + 6), isHexDigit))
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(text.data() + at + 2, text.data() + at + 6, value, 16);
        return value;
    };
    auto isHigh = [](unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    auto isLow = [](unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::optional<std::string> out;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inString || c != '\\') {
            if (c == '"') inString = !inString;
            continue;
        }
        const std::optional<unsigned> unit = unitAt(i);
        if (!unit) {  // another escape: step over it, so an escaped quote does not end the string
            ++i;
            continue;
        }
        const std::optional<unsigned> next = unitAt(i + 6);
        if (isHigh(*unit) && next && isLow(*next)) {
            i += 11;
            continue;
        }
        if (isHigh(*unit) || isLow(*unit)) {
            // why: the replacement escape has the length of the one it replaces, so the text is copied once, at most.
            if (!out) out.emplace(text);
            out->replace(i, 6, "\\uFFFD");
        }
        i += 5;
    }
    return out;
}

}  // namespace folioport::platform
