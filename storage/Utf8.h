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

/// True when the text is well-formed UTF-8 throughout.
bool isValid(std::string_view text);

/// The first `count` characters of well-formed text (all of it when shorter), never cutting a sequence.
std::string_view leadingCharacters(std::string_view text, std::size_t count);

/// Blank and tab only, as space keys are trimmed.
inline bool isSpaceOrTab(char32_t c) { return c == U' ' || c == U'\t'; }

/// Blank, tab and the other horizontal spaces of the Unicode White_Space set (U+00A0, U+2000–U+200A, U+3000, …).
inline bool isHorizontalSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

/// Line feed, vertical tab, form feed, carriage return, U+0085, U+2028 and U+2029.
inline bool isLineBreak(char32_t c) { return (c >= U'\n' && c <= U'\r') || c == 0x0085 || c == 0x2028 || c == 0x2029; }

/// The whole Unicode White_Space set.
inline bool isWhiteSpace(char32_t c) { return isHorizontalSpace(c) || isLineBreak(c); }

/// The byte with A to Z lower-cased; every other byte, including those of non-ASCII characters, unchanged.
constexpr char asciiLowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// The text as one line for display: every control character (C0, DEL, C1) and U+2028/U+2029 becomes a
/// blank, so text from outside cannot start a line of its own; invalid sequences become U+FFFD.
std::string oneLine(std::string_view text);

/// The text without the leading and trailing characters that `drop` selects.
std::string_view trim(std::string_view text, bool (*drop)(char32_t));

}  // namespace folioport::Utf8
