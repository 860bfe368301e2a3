#pragma once

#include <cstdlib>
#include <string_view>

#include "storage/Utf8.h"

namespace folioport::fuzz {

/// Stops the run (so libFuzzer keeps the input) when an invariant does not hold.
inline void require(bool holds) {
    if (!holds) std::abort();
}

/// True when every character decodes; a literal U+FFFD counts as valid.
inline bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8::Decoded character = Utf8::decode(text, i);
        if (character.scalar == 0xFFFD && text.substr(i, 3) != "\uFFFD") return false;
        i += character.length;
    }
    return true;
}

}  // namespace folioport::fuzz
