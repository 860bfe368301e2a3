#include "confluence/SiteOrigin.h"

#include <algorithm>
#include <charconv>

#include "storage/Utf8.h"

namespace folioport {
namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(), Utf8::asciiLowered);
    return out;
}

/// Letters, digits and the few marks a host name or IP literal is made of.
bool isHostCharacter(char c) {
    const bool alphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    return alphanumeric || c == '-' || c == '.' || c == '_' || c == '[' || c == ']' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::optional<std::string> originOf(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string scheme = lowered(address.substr(0, colon));
    if (scheme != "http" && scheme != "https") return std::nullopt;

    const std::string_view rest = address.substr(colon + 3);
    const std::string_view authority = rest.substr(0, std::min(rest.find_first_of("/?#"), rest.size()));
    // why: user information and odd characters ("\", "%", blanks) are where URL parsers disagree about the host.
    if (authority.empty() || !std::ranges::all_of(authority, isHostCharacter)) return std::nullopt;

    std::string_view host = authority;
    std::string_view port;
    const std::size_t portColon = authority.rfind(':');
    const std::size_t bracket = authority.rfind(']');
    if (portColon != std::string_view::npos && (bracket == std::string_view::npos || portColon > bracket)) {
        host = authority.substr(0, portColon);
        port = authority.substr(portColon + 1);
    }
    if (host.empty() || (host.front() == '[') != (host.back() == ']')) return std::nullopt;
    unsigned number = scheme == "https" ? 443 : 80;
    if (!port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc{} || end != port.data() + port.size() || number == 0 || number > 65535)
            return std::nullopt;
    }
    return scheme + "://" + lowered(host) + ":" + std::to_string(number);
}

}  // namespace folioport
