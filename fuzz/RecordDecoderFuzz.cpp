#include <cstddef>
#include <cstdint>

#include "confluence/RecordDecoder.h"

// Every record decoder on any bytes, and the derived values of whatever decodes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)decodeRecord<ConfluenceUser>(text);
    (void)decodeRecord<TenantInfo>(text);
    (void)decodeRecord<Space>(text);
    (void)decodeRecord<MultiResult<Space>>(text);
    if (const auto page = decodeRecord<Page>(text)) (void)page->plainTextBody();
    if (const auto pages = decodeRecord<MultiResult<Page>>(text)) {
        for (const Page& page : pages->results) (void)page.plainTextBody();
    }
    if (const auto search = decodeRecord<SearchResponse>(text)) {
        for (const SearchResult& result : search->results) (void)result.plainExcerpt();
    }
    return 0;
}
