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

TEST_F(ListingTools, ListPagesOfTheConfiguredSpace) {
    EXPECT_EQ(answer("list_pages", json::object()),
              "Pages in space ENG — 3, most recently updated first:\n"
              "  98306  v7  Roadmap for Q3  (2 days ago)\n"
              "  98307  v2  Release checklist  (5 days ago)\n"
              "  98305  v4  Engineering Home  (13 days ago)");
    EXPECT_THAT(requests(),
                ElementsAre(engLookup, "GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=25&space-id=65537"));
}

TEST_F(ListingTools, AnExplicitEmptySpaceKeyListsAllSpaces) {
    const std::string text = answer("list_pages", {{"spaceKey", ""}, {"limit", 2}});
    EXPECT_EQ(text,
              "Pages in all spaces — 2, most recently updated first:\n"
              "  98308  v12  On-call rota  (today)\n"
              "  98306  v7  Roadmap for Q3  (2 days ago)");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=2"));
}

TEST_F(ListingTools, ListPagesTrimsTheKeyAndNamesAnEmptySpace) {
    site->withData([](fake::SiteData& data) { data.spaces.push_back({"65600", "EMPTY", "Nothing here"}); });
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

TEST_F(ListingTools, SearchWithOneResult) {
    EXPECT_EQ(answer("search_pages", {{"query", " roadmap "}}),
              "1 result in space ENG for \"roadmap\":\n"
              "  98306  Roadmap for Q3 [Engineering] (2 days ago)\n"
              "      Roadmap The roadmap for Q3 covers search & sync.");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/rest/api/search?cql=type = page AND text ~ \"roadmap\" AND "
                                        "space = \"ENG\" ORDER BY lastmodified DESC&limit=25"));
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
