#include "UrlText.h"

#include <cctype>

namespace folioport::fake {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percentEncode(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else if (plusIsSpace && text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

QueryItems parseQuery(std::string_view rawQuery) {
    QueryItems items;
    while (!rawQuery.empty()) {
        std::size_t amp = rawQuery.find('&');
        std::string_view item = rawQuery.substr(0, amp);
        rawQuery = amp == std::string_view::npos ? std::string_view{} : rawQuery.substr(amp + 1);
        if (item.empty()) continue;
        std::size_t eq = item.find('=');
        items.emplace_back(percentDecode(item.substr(0, eq), true),
                           eq == std::string_view::npos ? std::string{} : percentDecode(item.substr(eq + 1), true));
    }
    return items;
}

std::string formatQuery(const QueryItems& items) {
    std::string out;
    for (const auto& [name, value] : items) {
        if (!out.empty()) out += '&';
        out += percentEncode(name) + '=' + percentEncode(value);
    }
    return out;
}

}  // namespace folioport::fake
