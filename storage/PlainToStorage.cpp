#include <algorithm>
#include <array>

#include "storage/Appending.h"
#include "storage/Storage.h"
#include "storage/Utf8.h"

namespace folioport::Storage {

namespace {

std::string_view trimHorizontal(std::string_view text) { return Utf8::trim(text, Utf8::isHorizontalSpace); }

/// Content of a bullet or heading: trimmed, with invalid UTF-8 replaced.
std::string trimmedContent(std::string_view text) { return detail::collected<Utf8::appendRepaired>(trimHorizontal(text)); }

constexpr auto escapedBytes = [] {
    std::array<bool, 256> table{};
    for (const unsigned char byte : {'&', '<', '>', '"'}) table[byte] = true;
    return table;
}();

/// The output being built; at most one paragraph or one list is open at a time.
class BlockWriter {
public:
    explicit BlockWriter(std::size_t capacity) { out_.reserve(capacity); }

    void paragraphLine(std::string_view text) {
        closeList();
        out_ += open_ == Open::paragraph ? "<br />" : "<p>";
        open_ = Open::paragraph;
        detail::appendEscaped(out_, text);
    }

    void bullet(std::string_view content) {
        closeParagraph();
        if (open_ != Open::list) out_ += "<ul>";
        open_ = Open::list;
        out_ += "<li><p>";
        detail::appendEscaped(out_, content);
        out_ += "</p></li>";
    }

    void heading(const Heading& heading) {
        closeParagraph();
        closeList();
        const char level = static_cast<char>('0' + heading.level);
        out_ += "<h";
        out_ += level;
        out_ += '>';
        detail::appendEscaped(out_, heading.content);
        out_ += "</h";
        out_ += level;
        out_ += '>';
    }

    void blankLine() {
        closeParagraph();
        closeList();
    }

    std::string finish() && {
        blankLine();
        return std::move(out_);
    }

private:
    enum class Open { nothing, paragraph, list };

    void closeParagraph() {
        if (open_ != Open::paragraph) return;
        out_ += "</p>";
        open_ = Open::nothing;
    }

    void closeList() {
        if (open_ != Open::list) return;
        out_ += "</ul>";
        open_ = Open::nothing;
    }

    std::string out_;
    Open open_ = Open::nothing;
};

}  // namespace

namespace detail {

void appendEscaped(std::string& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t plain = i;
        while (plain < text.size() && !escapedBytes[static_cast<unsigned char>(text[plain])]) ++plain;
        Utf8::appendRepaired(out, text.substr(i, plain - i));
        if (plain == text.size()) break;
        switch (text[plain]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += "&quot;"; break;
        }
        i = plain + 1;
    }
}

}  // namespace detail

std::string escape(std::string_view text) { return detail::collected<detail::appendEscaped>(text); }

std::optional<std::string> bulletContent(std::string_view line) {
    if (!line.starts_with("- ") && !line.starts_with("* ")) return std::nullopt;
    return trimmedContent(line.substr(2));
}

std::optional<Heading> headingContent(std::string_view line) {
    const std::size_t hashes = std::min(line.find_first_not_of('#'), line.size());
    if (hashes == 0) return std::nullopt;
    const std::string_view rest = line.substr(hashes);
    if (!rest.starts_with(' ')) return std::nullopt;
    return Heading{static_cast<int>(std::min<std::size_t>(hashes, 6)), trimmedContent(rest)};
}

std::string fromPlainText(std::string_view text) {
    BlockWriter writer(text.size() + text.size() / 8);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        const std::size_t next = end + 1;
        // why: only a carriage return right before a line feed belongs to the line break.
        if (end > start && end < text.size() && text[end - 1] == '\r') --end;
        const std::string_view line = trimHorizontal(text.substr(start, end - start));
        start = next;

        if (line.empty()) {
            writer.blankLine();
        } else if (const auto content = bulletContent(line)) {
            writer.bullet(*content);
        } else if (const auto heading = headingContent(line)) {
            writer.heading(*heading);
        } else {
            writer.paragraphLine(line);
        }
    }
    return std::move(writer).finish();
}

}  // namespace folioport::Storage
