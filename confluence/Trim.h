#pragma once

#include <string_view>

#include "storage/Utf8.h"

namespace folioport {

/// The text without leading and trailing blanks and tabs (line breaks stay), as keys are compared.
inline std::string_view trimSpacesAndTabs(std::string_view text) {
    return Utf8::trim(text, [](char32_t c) { return c == U' ' || c == U'\t'; });
}

}  // namespace folioport
