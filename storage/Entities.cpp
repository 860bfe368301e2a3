#include <algorithm>
#include <charconv>

#include "storage/Appending.h"
#include "storage/Storage.h"
#include "storage/Utf8.h"

namespace folioport::Storage {

namespace {

/// Characters the entity window spans, counting the "&".
constexpr std::size_t entityWindow = 12;

// why: the table's names are ASCII, and no non-ASCII character lower-cases to one of their letters,
// so an ASCII-only case fold matches exactly what a full Unicode lower-casing would.
std::optional<std::string_view> namedReplacement(std::string_view name) {
    const auto match = std::ranges::find_if(entities, [&](const Entity& entity) {
        return std::ranges::equal(entity.name, name, {}, {}, Utf8::asciiLowered);
    });
    if (match == entities.end()) return std::nullopt;
    return match->replacement;
}

/// Finds the ";" that may close a reference, remembering the next ";" of the text so that a run
/// of "&" without one costs constant time each.
class SemicolonFinder {
public:
    explicit SemicolonFinder(std::string_view text) : text_(text) {}

    /// The offset of the ";" closing the reference at `ampersand`, or npos when none lies in the window.
    std::size_t closing(std::size_t ampersand) {
        if (next_ != std::string_view::npos && next_ <= ampersand) next_ = text_.find(';', ampersand);
        if (next_ == std::string_view::npos) return next_;
        // why: a character takes one to four bytes, so only distances in between need counting.
        if (next_ - ampersand < entityWindow) return next_;
        if (next_ - ampersand >= 4 * entityWindow) return std::string_view::npos;
        std::size_t characters = 0;
        for (std::size_t at = ampersand; at < next_; at += Utf8::decode(text_, at).length) ++characters;
        return characters < entityWindow ? next_ : std::string_view::npos;
    }

private:
    std::string_view text_;
    std::size_t next_ = 0;
};

}  // namespace

std::optional<char32_t> numericScalar(std::string_view digits) {
    int base = 10;
    if (digits.starts_with('x') || digits.starts_with('X')) {
        base = 16;
        digits.remove_prefix(1);
    }
    std::uint32_t value = 0;
    const char* const end = digits.data() + digits.size();
    // from_chars admits no sign and no prefix, so "every character a digit of the base" holds on success.
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || error != std::errc{} || stop != end) return std::nullopt;
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return static_cast<char32_t>(value);
}

namespace detail {

void appendDecodedEntities(std::string& out, std::string_view text) {
    SemicolonFinder semicolons(text);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t ampersand = text.find('&', i);
        Utf8::appendRepaired(out, text.substr(i, ampersand - i));
        if (ampersand == std::string_view::npos) break;

        const std::size_t semicolon = semicolons.closing(ampersand);
        if (semicolon == std::string_view::npos) {
            out += '&';
            i = ampersand + 1;
            continue;
        }
        const std::string_view name = text.substr(ampersand + 1, semicolon - ampersand - 1);
        if (const auto named = namedReplacement(name)) {
            out += *named;
        } else if (const auto scalar = name.starts_with('#') ? numericScalar(name.substr(1)) : std::nullopt) {
            Utf8::append(out, *scalar);
        } else {
            out += '&';
            Utf8::appendRepaired(out, name);
            out += ';';
        }
        i = semicolon + 1;
    }
}

}  // namespace detail

std::string decodeEntities(std::string_view text) { return detail::collected<detail::appendDecodedEntities>(text); }

}  // namespace folioport::Storage
