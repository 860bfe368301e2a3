#include "confluence/CQL.h"

#include "storage/Utf8.h"

namespace folioport::CQL {

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string textSearch(std::string_view text, const std::optional<std::string>& spaceKey) {
    std::string cql = "type = page AND text ~ " + quoted(text);
    if (spaceKey && !spaceKey->empty()) cql += " AND space = " + quoted(Utf8::trim(*spaceKey, Utf8::isSpaceOrTab));
    return cql + " ORDER BY lastmodified DESC";
}

}  // namespace folioport::CQL
