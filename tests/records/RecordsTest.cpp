#include <gtest/gtest.h>

#include <regex>
#include <unordered_set>

#include "confluence/RecordDecoder.h"
#include "confluence/RecordHash.h"
#include "confluence/Records.h"

namespace folioport {
namespace {

template <class T>
std::string errorOf(std::string_view json) {
    const auto decoded = decodeRecord<T>(json);
    return decoded ? "decoded" : decoded.error();
}

TEST(DecodeRecord, FailuresNameThePlace) {
    std::string manySpaces = R"({"results":[)";
    for (int i = 0; i <= 5000; ++i) manySpaces += R"({"id":"1","key":"K"},)";
    manySpaces.back() = ']';
    manySpaces += '}';
    const struct {
        const char* name;
        std::string (*decodeError)(std::string_view json);
        std::string json;
        std::string_view expected;
    } rows[] = {
        {"pageWithoutIdFailsList", errorOf<MultiResult<Page>>, R"({"results":[{"id":"1"},{"title":"t"}]})",
         "results[1].id: missing"},
        {"spaceIdNumber", errorOf<Space>, R"({"id":7,"key":"K"})", "id: expected a string, found a number"},
        {"requiredNull", errorOf<Page>, R"({"id":null})", "id: expected a string, found null"},
        {"versionNumberString", errorOf<Page>, R"({"id":"1","version":{"number":"3"}})",
         "version.number: expected an integer, found a string"},
        {"versionNumberFractional", errorOf<Page>, R"({"id":"1","version":{"number":3.0}})",
         "version.number: expected an integer, found a floating-point number"},
        {"minorEditString", errorOf<Page>, R"({"id":"1","version":{"minorEdit":"true"}})",
         "version.minorEdit: expected a boolean, found a string"},
        {"nestedBodyValue", errorOf<MultiResult<Page>>, R"({"results":[{"id":"1","body":{"storage":{"value":5}}}]})",
         "results[0].body.storage.value: expected a string, found a number"},
        {"linksArray", errorOf<MultiResult<Page>>, R"({"results":[],"_links":[]})", "_links: expected an object, found an array"},
        {"resultsObject", errorOf<MultiResult<Space>>, R"({"results":{}})", "results: expected an array, found an object"},
        {"resultsMissing", errorOf<SearchResponse>, R"({"totalSize":0})", "results: missing"},
        {"totalSizeString", errorOf<SearchResponse>, R"({"results":[],"totalSize":"4"})",
         "totalSize: expected an integer, found a string"},
        {"totalSizeBeyond64Bits", errorOf<SearchResponse>, R"({"results":[],"totalSize":18446744073709551615})",
         "totalSize: integer out of range"},
        {"searchContentIdNumber", errorOf<SearchResponse>, R"({"results":[{},{"content":{"id":12}}]})",
         "results[1].content.id: expected a string, found a number"},
        {"userEmailBoolean", errorOf<ConfluenceUser>, R"({"email":false})", "email: expected a string, found a boolean"},
        {"topLevelArray", errorOf<Page>, R"([{"id":"1"}])", "expected an object, found an array"},
        {"numberBeyondDouble", errorOf<SearchResponse>, R"({"results":[],"totalSize":1e999})",
         "number overflow parsing '1e999'"},
        {"fuzzedNumberOverflow", errorOf<Page>, std::string("5e88888888888888\0\x18*\0", 20),
         "number overflow parsing '5e88888888888888'"},
        {"nestedWithoutEnd", errorOf<Page>, R"({"id":"1","x":)" + std::string(600, '['),
         "the answer nests deeper than 512 levels"},
        {"moreRecordsThanAnyBatch", errorOf<MultiResult<Space>>, manySpaces, "the answer lists more than 5000 records"},
        {"invalidJson", errorOf<Page>, R"({"id":"1",)",
         "parse error at line 1, column 11: syntax error while parsing object key - unexpected end of input; expected "
         "string literal"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.decodeError(row.json), row.expected) << row.name;
}

TEST(DecodeRecord, AbsentNullAndUnknownMembers) {
    EXPECT_EQ(decodeRecord<Page>(R"({"id":"1"})"), Page{.id = "1"});
    // A cut emoji is one U+FFFD, as in requests; the record around it stays usable.
    EXPECT_EQ(decodeRecord<Page>(R"({"id":"1","title":"a\ud83d b\udE00 \ud83d\ude00 \\ud800","x":"\ud800"})")->title,
              "a\xEF\xBF\xBD b\xEF\xBF\xBD \xF0\x9F\x98\x80 \\ud800");
    const auto page = decodeRecord<Page>(R"({"id":"1","title":null,"version":null,"extra":[1,{"x":2}],"status":"current"})");
    EXPECT_EQ(page, (Page{.id = "1", .status = "current"}));
    const auto list = decodeRecord<MultiResult<Space>>(R"({"results":[]})");
    ASSERT_TRUE(list.has_value());
    EXPECT_TRUE(list->results.empty());
    EXPECT_FALSE(list->links.has_value());
}

TEST(DecodeRecord, FullPageKeepsEveryField) {
    const auto list = decodeRecord<MultiResult<Page>>(R"({
        "results": [{
            "id": "42", "status": "current", "title": "Plan", "spaceId": "7", "parentId": "41", "authorId": "u1",
            "createdAt": "2024-05-01T10:20:30.123Z",
            "version": {"number": 3, "message": "fix", "createdAt": "2024-05-02T08:00:00Z", "authorId": "u2", "minorEdit": false},
            "body": {"storage": {"value": "<p>x</p>", "representation": "storage"}, "atlas_doc_format": {"value": "{}"}},
            "_links": {"webui": "/spaces/K/pages/42", "editui": "/e", "tinyui": "/x/A"}
        }],
        "_links": {"next": "/wiki/api/v2/pages?cursor=abc", "base": "https://example.test/wiki"}
    })");
    ASSERT_TRUE(list.has_value()) << list.error();
    const Page expected{
        .id = "42", .status = "current", .title = "Plan", .spaceId = "7", .parentId = "41", .authorId = "u1",
        .createdAt = "2024-05-01T10:20:30.123Z",
        .version = PageVersion{3, "fix", "2024-05-02T08:00:00Z", "u2", false},
        .body = PageBody{.storage = BodyValue{"<p>x</p>", "storage"}, .atlasDocFormat = BodyValue{"{}", {}}},
        .links = Links{.webui = "/spaces/K/pages/42", .editui = "/e", .tinyui = "/x/A"},
    };
    ASSERT_EQ(list->results.size(), 1u);
    EXPECT_EQ(list->results[0], expected);
    EXPECT_EQ(list->links, (Links{.base = "https://example.test/wiki", .next = "/wiki/api/v2/pages?cursor=abc"}));
}

TEST(DecodeRecord, SearchResponseKeepsContainerAndTotal) {
    const auto response = decodeRecord<SearchResponse>(R"({"totalSize": 1, "results": [{
        "title": "Plan", "excerpt": "@@@hl@@@Plan@@@endhl@@@", "url": "/spaces/K/pages/42", "lastModified": "2024-05-01",
        "content": {"id": "42", "type": "page"}, "resultGlobalContainer": {"title": "Team", "displayUrl": "/spaces/K"}}]})");
    ASSERT_TRUE(response.has_value()) << response.error();
    EXPECT_EQ(response->totalSize, 1);
    ASSERT_EQ(response->results.size(), 1u);
    EXPECT_EQ(response->results[0].content, (SearchContent{.id = "42", .type = "page"}));
    EXPECT_EQ(response->results[0].resultGlobalContainer, (SearchContainer{"Team", "/spaces/K"}));
}

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
