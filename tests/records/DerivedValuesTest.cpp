#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

#include "confluence/RecordHash.h"
#include "confluence/Records.h"

namespace folioport {
namespace {

Page pageWithStorage(std::optional<std::string> value) {
    return Page{.id = "1", .body = PageBody{.storage = BodyValue{std::move(value), "storage"}}};
}

TEST(PlainTextBody, AbsentWithoutStorageValueOrText) {
    EXPECT_EQ(Page{.id = "1"}.plainTextBody(), std::nullopt);
    EXPECT_EQ((Page{.id = "1", .body = PageBody{.view = BodyValue{"<p>x</p>", "view"}}}).plainTextBody(), std::nullopt);
    EXPECT_EQ(pageWithStorage(std::nullopt).plainTextBody(), std::nullopt);
    EXPECT_EQ(pageWithStorage("<p> </p><br/>").plainTextBody(), std::nullopt);
    EXPECT_EQ(pageWithStorage("<p>a</p><p>b</p>").plainTextBody(), "a\nb");
}

TEST(PlainExcerpt, DropsMarkersAndTrims) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> rows[] = {
        {"@@@hl@@@Roadmap@@@endhl@@@ for Q3", "Roadmap for Q3"},
        {"@@@hl@@@ @@@endhl@@@ \n @@@hl@@@@@@endhl@@@", std::nullopt},
        {"<p>@@@hl@@@\u00A0x@@@endhl@@@\u3000</p>", "x"},
        {"@@@HL@@@x", "@@@HL@@@x"},
        {"a &amp; <b>b</b>", "a & b"},
        {"", std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto& [excerpt, expected] : rows) {
        EXPECT_EQ(SearchResult{.excerpt = excerpt}.plainExcerpt(), expected) << excerpt.value_or("(absent)");
    }
}

TEST(SearchResultId, PrefersContentIdThenUrlThenFreshUuid) {
    EXPECT_EQ((SearchResult{.url = "/p/1", .content = SearchContent{.id = "42"}}).id(), "42");
    EXPECT_EQ((SearchResult{.url = "/p/1", .content = SearchContent{.title = "t"}}).id(), "/p/1");

    const SearchResult anonymous{.title = "t"};
    const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    const std::string first = anonymous.id();
    EXPECT_TRUE(std::regex_match(first, uuid)) << first;
    EXPECT_NE(first, anonymous.id());
}

TEST(RecordHash, EqualRecordsCollapseInSets) {
    const Page page{.id = "1", .version = PageVersion{.number = 2}, .body = PageBody{.storage = BodyValue{"x", {}}}};
    Page newer = page;
    newer.version->number = 3;
    const std::unordered_set<Page> pages{page, page, newer};
    EXPECT_EQ(pages.size(), 2u);
}

}  // namespace
}  // namespace folioport
