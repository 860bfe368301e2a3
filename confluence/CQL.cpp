#include "confluence/CQL.h"

#include "confluence/Trim.h"

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
    if (spaceKey && !spaceKey->empty()) cql += " AND space = " + quoted(trimSpacesAndTabs(*spaceKey));
    return cql + " ORDER BY lastmodified DESC";
}

}  // namespace folioport::CQL
