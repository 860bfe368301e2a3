#include "storage/Utf8.h"

#include <cstdint>
#include <cstring>

namespace folioport::Utf8 {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

/// The length of the run of ASCII bytes that starts at `at`, read a word at a time.
std::size_t asciiRun(std::string_view text, std::size_t at) {
    std::size_t end = at;
    constexpr std::uint64_t highBits = 0x8080808080808080ull;
    for (std::uint64_t word; end + sizeof word <= text.size(); end += sizeof word) {
        std::memcpy(&word, text.data() + end, sizeof word);
        if (word & highBits) break;
    }
    while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
    return end - at;
}

}  // namespace

Decoded decode(std::string_view text, std::size_t at) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(at);
    if (lead < 0x80) return {lead, 1};

    std::size_t continuations = 0;
    char32_t scalar = 0;
    // The first continuation byte has a narrower range for some leads (no overlong forms,
    // no surrogates, nothing above U+10FFFF).
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        scalar = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        scalar = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        scalar = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {replacementCharacter, 1};
    }

    std::size_t length = 1;
    for (; length <= continuations; ++length) {
        if (at + length >= text.size()) return {replacementCharacter, length};
        const unsigned char byte = byteAt(at + length);
        if (byte < low || byte > high) return {replacementCharacter, length};
        scalar = (scalar << 6) | (byte & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {scalar, length};
}

void append(std::string& out, char32_t scalar) {
    const auto put = [&](char32_t bits) { out.push_back(static_cast<char>(bits)); };
    if (scalar < 0x80) {
        put(scalar);
    } else if (scalar < 0x800) {
        put(0xC0 | (scalar >> 6));
        put(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        put(0xE0 | (scalar >> 12));
        put(0x80 | ((scalar >> 6) & 0x3F));
        put(0x80 | (scalar & 0x3F));
    } else {
        put(0xF0 | (scalar >> 18));
        put(0x80 | ((scalar >> 12) & 0x3F));
        put(0x80 | ((scalar >> 6) & 0x3F));
        put(0x80 | (scalar & 0x3F));
    }
}

void appendRepaired(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Valid text is copied in runs; only an invalid sequence is written as U+FFFD.
        std::size_t end = i + asciiRun(text, i);
        while (end < text.size()) {
            const Decoded character = decode(text, end);
            if (character.scalar == replacementCharacter) break;
            end += character.length + asciiRun(text, end + character.length);
        }
        out.append(text, i, end - i);
        if (end == text.size()) break;
        const Decoded invalid = decode(text, end);
        append(out, replacementCharacter);
        i = end + invalid.length;
    }
}

bool isValid(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Decoded character = decode(text, at);
        // why: decode answers U+FFFD both for an invalid sequence and for a genuine, encoded U+FFFD.
        if (character.scalar == replacementCharacter && text.substr(at, character.length) != "\xEF\xBF\xBD")
            return false;
        at += character.length;
    }
    return true;
}

std::string_view leadingCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[i])) && seen++ == count) return text.substr(0, i);
    }
    return text;
}

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded character = decode(text, at);
        const char32_t c = character.scalar;
        const bool breaksLine = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
        if (breaksLine) out += ' ';
        else append(out, c);
        at += character.length;
    }
    return out;
}

std::string_view trim(std::string_view text, bool (*drop)(char32_t)) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const Decoded character = decode(text, begin);
        if (!drop(character.scalar)) break;
        begin += character.length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        // why: walking back over continuation bytes to a lead byte finds the same character a
        // forward decoder would, because a lead byte never belongs to an earlier sequence.
        std::size_t start = end - 1;
        while (start > begin && end - start < 4 && isContinuation(static_cast<unsigned char>(text[start]))) --start;
        const Decoded character = decode(text.substr(0, end), start);
        if (start + character.length != end || !drop(character.scalar)) break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

}  // namespace folioport::Utf8
