#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "confluence/PageLink.h"

// Pasted text as a page link: a link that is read gives digits only, and nothing but text without a "/"
// passes through unread.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const ConfluenceConfig config{"https://acme.atlassian.net", "mia@example.com", "token"};
    const auto id = pageIdFromLink(text, config);
    if (id && text.find('/') != std::string_view::npos)
        fuzz::require(!id->empty() && std::ranges::all_of(*id, [](char c) { return c >= '0' && c <= '9'; }));
    if (id && text.find('/') == std::string_view::npos) fuzz::require(*id == text);
    return 0;
}
