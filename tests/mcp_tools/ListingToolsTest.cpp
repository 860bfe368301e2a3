#include "ToolSite.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using ListingTools = ToolSite;

TEST_F(ListingTools, EveryNameGetsTheNotConfiguredMessageWithoutSettings) {
    for (const char* tool : {"list_spaces", "delete_page", "lst_pages", ""}) {
        const auto outcome = perform(tool, json::object(), [] { return Settings{{"", "mia@example.com", "t"}, "ENG"}; });
        ASSERT_FALSE(outcome);
        EXPECT_EQ(describe(outcome.error()),
                  "Confluence is not configured. Open Settings and enter your site, email and API token.");
    }
    EXPECT_THAT(site->requests(), IsEmpty());
}

TEST_F(ListingTools, AnUnknownNameIsRefusedWithoutARequest) {
    EXPECT_EQ(failure("List_Spaces", json::object()), "Unknown tool: List_Spaces");
    EXPECT_THAT(requests(), IsEmpty());
}

TEST_F(ListingTools, ListSpacesNamesEachSpace) {
    EXPECT_EQ(answer("list_spaces", json::object()),
              "Spaces — 2:\n  ENG  Engineering  (id 65537)\n  OPS  Operations  (id 65538)");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/api/v2/spaces?status=current&sort=name&limit=100"));

    site->inject({fake::Fault::Kind::status, 200, R"({"results":[{"id":"9","key":"X"}]})", "GET", "/wiki/api/v2/spaces", 1});
    EXPECT_EQ(answer("list_spaces", json::object()), "Spaces — 1:\n  X  X  (id 9)");

    site->withData([](fake::SiteData& data) { data.spaces.clear(); });
    EXPECT_EQ(answer("list_spaces", json::object()), "No spaces are visible to this account.");
}

TEST_F(ListingTools, LimitIsAnIntegerOfAtLeastOne) {
    struct Row {
        const char* name;
        json limit;
        const char* requested;
    };
    const Row rows[] = {
        {"zero", 0, "1"},
        {"negative", -5, "1"},
        {"a string counts as absent", "10", "100"},
        {"null counts as absent", nullptr, "100"},
        {"integral double", 2.0, "2"},
        {"fraction counts as absent", 2.5, "100"},
        {"beyond the client's cap", 9000000000LL, "250"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(call("list_spaces", {{"limit", row.limit}}));
        EXPECT_THAT(requests(), ElementsAre(std::string("GET /wiki/api/v2/spaces?status=current&sort=name&limit=") +
                                            row.requested));
    }
}

TEST_F(ListingTools, ListPagesTrimsTheKeyAndNamesAnEmptySpace) {
    site->withData([](fake::SiteData& data) { data.spaces.push_back({"65600", "EMPTY", "Nothing here", "global", "current", {}}); });
    EXPECT_EQ(answer("list_pages", {{"spaceKey", " EMPTY\t"}}), "No pages in space EMPTY.");
    EXPECT_EQ(requests().front(), "GET /wiki/api/v2/spaces?keys=EMPTY&limit=1");

    EXPECT_EQ(failure("list_pages", {{"spaceKey", "NOPE"}}), "No space with key 'NOPE'.");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/api/v2/spaces?keys=NOPE&limit=1"));
}

TEST_F(ListingTools, APageWithoutVersionShowsVersionOneAndNoAge) {
    site->inject({fake::Fault::Kind::status, 200, R"({"results":[{"id":"5","title":""}]})", "GET", "/wiki/api/v2/pages", 1});
    EXPECT_EQ(answer("list_pages", {{"spaceKey", ""}}),
              "Pages in all spaces — 1, most recently updated first:\n  5  v1  (untitled)  (—)");
}

TEST_F(ListingTools, SearchNeedsAQueryBeforeAnyRequest) {
    for (const json& query : {json("  \n"), json(42), json(nullptr)}) {
        EXPECT_EQ(failure("search_pages", {{"query", query}}), "`query` is required.");
        EXPECT_THAT(requests(), IsEmpty());
    }
}

TEST_F(ListingTools, SearchWithTwoResultsShowsWhatEachHitCarries) {
    const json results = {
        {"results",
         {{{"content", {{"id", "7"}, {"title", "Plan"}}},
           {"title", "ignored"},
           {"excerpt", "<p>first @@@hl@@@plan@@@endhl@@@</p><ul><li>second</li></ul>"},
           {"resultGlobalContainer", {{"title", "Engineering"}}},
           {"lastModified", "2026-12-02T09:00:00.000Z"}},
          {{"title", "Loose hit"}, {"lastModified", "not a date"}}}}};
    site->inject({fake::Fault::Kind::status, 200, results.dump(), "GET", "/wiki/rest/api/search", 1});
    EXPECT_EQ(answer("search_pages", {{"query", "plan"}, {"spaceKey", ""}, {"limit", 500}}),
              "2 results in all spaces for \"plan\":\n"
              "  7  Plan [Engineering] (yesterday)\n"
              "      first plan • second\n"
              "  ?  Loose hit");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/rest/api/search?cql=type = page AND text ~ \"plan\" "
                                        "ORDER BY lastmodified DESC&limit=100"));
}

TEST_F(ListingTools, SearchWithoutResults) {
    defaultSpace = "";
    EXPECT_EQ(answer("search_pages", {{"query", "say \"cheese\""}}),
              "Nothing in all spaces matched \"say \"cheese\"\".");
}

}  // namespace
}  // namespace folioport::MCPServer
