#include <algorithm>

#include "storage/Appending.h"
#include "storage/Storage.h"
#include "storage/Utf8.h"

namespace folioport::Storage {

namespace {

constexpr std::string_view bulletMark = "\u2022 ";

constexpr bool isAsciiSeparator(unsigned char byte) { return byte == ' ' || byte == '\t' || (byte >= '\n' && byte <= '\r'); }

/// Bytes the scan copies into the current line as they are.
constexpr auto plainTextBytes = [] {
    std::array<bool, 256> table{};
    for (unsigned byte = 0; byte < 0x80; ++byte) table[byte] = byte != '<' && !isAsciiSeparator(static_cast<unsigned char>(byte));
    return table;
}();

/// Bytes of a word between squeezed blanks that need no decoding.
constexpr auto asciiWordBytes = [] {
    std::array<bool, 256> table{};
    for (unsigned byte = 0; byte < 0x80; ++byte) table[byte] = !isAsciiSeparator(static_cast<unsigned char>(byte));
    return table;
}();

bool isSqueezedSeparator(char32_t c) { return c == U' ' || c == U'\t' || Utf8::isLineBreak(c); }

/// Appends one decoded character: its own bytes when valid, else U+FFFD.
void appendCharacter(std::string& out, std::string_view text, std::size_t at, const Utf8::Decoded& character) {
    if (character.scalar == 0xFFFD) {
        Utf8::append(out, character.scalar);
    } else {
        out.append(text, at, character.length);
    }
}

/// The longest element name that can have an effect ("blockquote").
constexpr std::size_t longestKnownName = 10;

/// The element name lower-cased, or "" when it cannot be one of the names with an effect.
std::string_view loweredKnownName(std::string_view name, std::array<char, longestKnownName>& buffer) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < name.size();) {
        char folded = name[i];
        if (static_cast<unsigned char>(folded) < 0x80) {
            folded = Utf8::asciiLowered(folded);
            ++i;
        } else if (name.substr(i).starts_with("\u212A")) {
            folded = 'k';  // why: KELVIN SIGN lower-cases to an ASCII "k", as in "blockquote"
            i += 3;
        } else {
            return {};
        }
        if (length == buffer.size()) return {};
        buffer[length++] = folded;
    }
    return {buffer.data(), length};
}

/// Builds the output line by line; `current` holds the raw text of the line being built.
class LineWriter {
public:
    explicit LineWriter(std::size_t capacity) { out_.reserve(capacity); }

    std::string& current() { return current_; }

    void flush() {
        std::string_view raw = current_;
        if (raw.find('&') != std::string_view::npos) {
            decoded_.clear();
            detail::appendDecodedEntities(decoded_, raw);
            raw = decoded_;
        }
        const std::size_t before = out_.size();
        if (before > 0) out_ += '\n';
        const std::size_t lineStart = out_.size();
        detail::appendSqueezed(out_, raw);
        if (out_.size() == lineStart) out_.resize(before);
        current_.clear();
    }

    std::string finish() && {
        flush();
        return std::move(out_);
    }

private:
    std::string out_;
    std::string current_;
    std::string decoded_;
};

}  // namespace

Effect replacement(std::string_view tag) {
    const bool closing = tag.starts_with('/');
    tag.remove_prefix(std::min(tag.find_first_not_of('/'), tag.size()));

    std::size_t end = 0;
    while (end < tag.size()) {
        const auto byte = static_cast<unsigned char>(tag[end]);
        if (byte < 0x80) {
            if (byte == '/' || isAsciiSeparator(byte)) break;
            ++end;
            continue;
        }
        const Utf8::Decoded character = Utf8::decode(tag, end);
        if (Utf8::isWhiteSpace(character.scalar)) break;
        end += character.length;
    }
    std::string_view name = tag.substr(0, end);
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);

    std::array<char, longestKnownName> buffer{};
    const std::string_view lowered = loweredKnownName(name, buffer);
    if (lowered == "br") return Effect::lineBreak;
    if (lowered == "li") return closing ? Effect::lineBreak : Effect::bullet;
    if (!closing) return Effect::ignore;
    return std::ranges::find(lineEndingTags, lowered) != lineEndingTags.end() ? Effect::lineBreak : Effect::ignore;
}

namespace detail {

void appendSqueezed(std::string& out, std::string_view text) {
    bool wroteWord = false;
    bool gap = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (isAsciiSeparator(byte)) {
            gap = true;
            ++i;
            continue;
        }
        const Utf8::Decoded character = byte < 0x80 ? Utf8::Decoded{byte, 1} : Utf8::decode(text, i);
        if (isSqueezedSeparator(character.scalar)) {
            gap = true;
            i += character.length;
            continue;
        }
        if (gap && wroteWord) out += ' ';
        gap = false;
        wroteWord = true;
        if (byte < 0x80) {
            std::size_t run = i;
            while (run < text.size() && asciiWordBytes[static_cast<unsigned char>(text[run])]) ++run;
            out.append(text, i, run - i);
            i = run;
        } else {
            appendCharacter(out, text, i, character);
            i += character.length;
        }
    }
}

}  // namespace detail

std::string squeezeSpaces(std::string_view text) { return detail::collected<detail::appendSqueezed>(text); }

std::string toPlainText(std::string_view storage) {
    LineWriter writer(storage.size());
    // why: once a search for ">" has failed, no later "<" can find one, so none searches again;
    // this keeps text with thousands of unclosed "<" linear.
    bool closerAhead = true;
    std::size_t i = 0;
    while (i < storage.size()) {
        std::size_t run = i;
        while (run < storage.size() && plainTextBytes[static_cast<unsigned char>(storage[run])]) ++run;
        writer.current().append(storage, i, run - i);
        i = run;
        if (i == storage.size()) break;

        const auto byte = static_cast<unsigned char>(storage[i]);
        if (byte == '<') {
            const std::size_t close = closerAhead ? storage.find('>', i + 1) : std::string_view::npos;
            if (close == std::string_view::npos) {
                closerAhead = false;
                writer.current() += '<';
                ++i;
                continue;
            }
            switch (replacement(storage.substr(i + 1, close - i - 1))) {
                case Effect::lineBreak: writer.flush(); break;
                case Effect::bullet: writer.current() += bulletMark; break;
                case Effect::ignore: break;
            }
            i = close + 1;
        } else if (byte < 0x80) {
            writer.current() += ' ';
            const bool crlf = byte == '\r' && i + 1 < storage.size() && storage[i + 1] == '\n';
            i += crlf ? 2 : 1;
        } else {
            const Utf8::Decoded character = Utf8::decode(storage, i);
            if (Utf8::isLineBreak(character.scalar)) {
                writer.current() += ' ';
            } else {
                appendCharacter(writer.current(), storage, i, character);
            }
            i += character.length;
        }
    }
    return std::move(writer).finish();
}

}  // namespace folioport::Storage
