#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace folioport::Utf8 {

/// One decoded character: its scalar value and how many bytes it took.
struct Decoded {
    char32_t scalar;
    std::size_t length;
};

/// Decodes the character starting at byte `at` (which must be < text.size()). An invalid
/// sequence yields U+FFFD and consumes exactly its maximal invalid subpart (at least one byte).
Decoded decode(std::string_view text, std::size_t at);

/// Appends the UTF-8 encoding of a Unicode scalar value.
void append(std::string& out, char32_t scalar);

/// Appends the text with every invalid sequence replaced by U+FFFD.
void appendRepaired(std::string& out, std::string_view text);

/// Blank, tab and the other horizontal spaces of the Unicode White_Space set (U+00A0, U+2000–U+200A, U+3000, …).
bool isHorizontalSpace(char32_t c);
/// Line feed, vertical tab, form feed, carriage return, U+0085, U+2028 and U+2029.
bool isLineBreak(char32_t c);
/// The whole Unicode White_Space set.
bool isWhiteSpace(char32_t c);

/// The text without the leading and trailing characters that `drop` selects.
std::string_view trim(std::string_view text, bool (*drop)(char32_t));

}  // namespace folioport::Utf8
