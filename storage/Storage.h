#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace folioport::Storage {

// Both conversions are pure, never fail, and accept any bytes: each invalid UTF-8 sequence is
// read as U+FFFD, so every text they and their helpers return is valid UTF-8.

/// Plain text with paragraphs, "- "/"* " bullets and "#" headings, as storage-format XHTML
/// (one line, no line feeds). Blank input gives "".
std::string fromPlainText(std::string_view text);

/// XML escaping of text content: & < > and the double quote; everything else unchanged.
std::string escape(std::string_view text);

/// The trimmed content of a (trimmed) bullet line starting with "- " or "* ", else absent.
std::optional<std::string> bulletContent(std::string_view line);

/// A heading line's level and content.
struct Heading {
    int level;  ///< 1 to 6
    std::string content;
    bool operator==(const Heading&) const = default;
};

/// The level and trimmed content of a (trimmed) line of "#"s followed by a blank, else absent.
std::optional<Heading> headingContent(std::string_view line);

/// Storage-format XHTML flattened to plain text: one line per block, "• " for list items,
/// tags dropped, entities decoded, white space squeezed; lines joined with "\n".
std::string toPlainText(std::string_view storage);

/// What one tag (the text between "<" and ">") does to the plain text.
enum class Effect { lineBreak, bullet, ignore };

/// The effect of a tag, judged by its lower-cased element name without namespace prefix.
Effect replacement(std::string_view tag);

/// Element names whose closing tag ends a line.
inline constexpr std::array<std::string_view, 15> lineEndingTags{
    "p", "h1", "h2", "h3", "h4", "h5", "h6", "li", "tr", "div", "blockquote", "pre", "table", "ul", "ol"};

/// A named character entity and the text it stands for.
struct Entity {
    std::string_view name;  ///< lower case
    std::string_view replacement;
};

/// The named character entities that are decoded; "nbsp" becomes an ordinary blank.
inline constexpr std::array<Entity, 13> entities{{
    {"amp", "&"},
    {"lt", "<"},
    {"gt", ">"},
    {"quot", "\""},
    {"apos", "'"},
    {"nbsp", " "},
    {"ndash", "\u2013"},
    {"mdash", "\u2014"},
    {"hellip", "\u2026"},
    {"rsquo", "\u2019"},
    {"lsquo", "\u2018"},
    {"ldquo", "\u201C"},
    {"rdquo", "\u201D"},
}};

/// Decodes the known named entities (any case) and numeric references; a name must end with ";"
/// within 12 characters of its "&". Anything else stays as written.
std::string decodeEntities(std::string_view text);

/// The scalar value of a numeric reference's digits ("65", "x41"), or absent when they are not
/// all digits of their base or name no Unicode scalar value.
std::optional<char32_t> numericScalar(std::string_view digits);

/// Splits at blanks, tabs and line breaks and joins the non-empty pieces with one blank.
std::string squeezeSpaces(std::string_view text);

}  // namespace folioport::Storage
