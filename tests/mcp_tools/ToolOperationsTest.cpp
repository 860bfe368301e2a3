#include <chrono>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FakeConfluence.h"
#include "mcp/ToolDispatch.h"

// What the end-to-end suite cannot check: answers that depend on "now", replies the site is made
// to give, and the request log around each argument check.
namespace folioport::MCPServer {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string roadmapById = "GET /wiki/api/v2/pages/98306?body-format=storage";
const std::string roadmapStorage = "<h1>Roadmap</h1><p>The roadmap for Q3 covers search &amp; sync.</p>";

/// Tool calls against the minimal fake site at a fixed "now", 03 December 2026 noon UTC.
class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto started = fake::FakeConfluence::start();
        ASSERT_TRUE(started) << started.error();
        site = std::move(*started);
    }

    /// The answer, or "error: " and the failure's description; the request log starts empty.
    std::string run(std::string_view tool, const json& arguments) {
        site->clearRequests();
        const Settings settings{{site->baseURL(), "mia@example.com", "test-token"}, defaultSpace, {}, readOnly};
        const auto now = std::chrono::sys_days{std::chrono::December / 3 / 2026} + std::chrono::hours(12);
        auto outcome = perform(tool, arguments, [&] { return settings; }, [&] { return now; });
        return outcome ? *outcome : "error: " + describe(outcome.error());
    }

    json lastBody() const { return json::parse(site->requests().back().body, nullptr, false); }

    void inject(const char* path, const json& answer) {
        site->inject({fake::Fault::Kind::status, 200, answer.dump(), "GET", path, 1});
    }

    std::unique_ptr<fake::FakeConfluence> site;
    std::string defaultSpace = "ENG";
    bool readOnly = false;  ///< the settings let assistants only read
};

TEST_F(ToolsTest, ArgumentChecksComeBeforeAnyRequest) {
    struct Row {
        const char* tool;
        json arguments;
        const char* message;
        const char* configuredSpace = "ENG";
        bool readOnly = false;
    };
    const char* selector = "Pass either `pageId` or `title` (with a `spaceKey`).";
    const char* titleNeedsSpace = "`title` needs a `spaceKey` (or a default space in Folioport Settings).";
    const char* noSpace = "No `spaceKey` given and no default space set in Folioport Settings.";
    const char* onlyRead =
        "Folioport lets AI assistants only read pages; turn this off in Folioport's Settings to let them write.";
    const Row rows[] = {
        {"List_Spaces", json::object(), "Unknown tool: List_Spaces"},
        {"search_pages", {{"query", 42}}, "`query` is required."},
        {"get_page", json::object(), selector},
        {"update_page", {{"pageId", " "}, {"title", ""}}, selector},
        {"get_page", {{"pageId", 98306}}, selector},
        {"update_page", {{"title", "Roadmap for Q3"}}, titleNeedsSpace, " "},
        {"get_page", {{"title", "Roadmap for Q3"}, {"spaceKey", ""}}, titleNeedsSpace},
        {"create_page", {{"body", "x"}}, "`title` is required."},
        {"create_page", {{"title", "T"}}, noSpace, ""},
        {"create_page", {{"title", "T"}, {"spaceKey", " "}}, noSpace},
        {"create_page", {{"title", "T"}, {"format", "docx"}}, "`format` must be 'text' or 'storage' — got 'docx'."},
        {"delete_page", {{"pageId", " "}, {"title", "Release checklist"}},
         "`pageId` is required — look it up with search_pages or list_pages first."},
        {"create_page", {{"title", "T"}}, onlyRead, "ENG", true},
        {"update_page", {{"pageId", "98306"}, {"body", "x"}}, onlyRead, "ENG", true},
        {"delete_page", {{"pageId", "98306"}}, onlyRead, "ENG", true},
        {"delete_page", json::object(), onlyRead, "ENG", true},  // refused before its arguments are read
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.tool) + " " + row.arguments.dump());
        defaultSpace = row.configuredSpace;
        readOnly = row.readOnly;
        EXPECT_EQ(run(row.tool, row.arguments), std::string("error: ") + row.message);
        EXPECT_THAT(site->requestLines(), IsEmpty());
    }
    // Without the network and keyring library there is no token: the tools say why instead of "not configured".
    const Settings withoutLibrary{{site->baseURL(), "mia@example.com", ""}, "ENG", "libx.so could not be loaded: gone"};
    EXPECT_EQ(describe(perform("list_spaces", {}, [&] { return withoutLibrary; }).error()),
              "Folioport cannot reach Confluence or the keyring: libx.so could not be loaded: gone. Reinstall Folioport "
              "so that the library lies in its lib folder.");
}

TEST_F(ToolsTest, ListSpacesTakesAnIntegralLimitOfAtLeastOne) {
    const std::pair<json, const char*> rows[] = {
        {0, "1"}, {-5, "1"}, {"10", "100"}, {nullptr, "100"}, {2.0, "2"}, {2.5, "100"}, {9000000000LL, "250"},
    };
    for (const auto& [limit, sent] : rows) {
        SCOPED_TRACE(limit.dump());
        run("list_spaces", {{"limit", limit}});
        EXPECT_THAT(site->requestLines(), ElementsAre(std::string("GET /wiki/api/v2/spaces?status=current&sort=name&limit=") + sent));
    }
    inject("/wiki/api/v2/spaces", {{"results", {{{"id", "9"}, {"key", "X"}}}}});
    EXPECT_EQ(run("list_spaces", json::object()), "Spaces — 1:\n  X  X  (id 9)");  // no name: the key stands in
    site->withData([](fake::SiteData& data) { data.spaces.clear(); });
    EXPECT_EQ(run("list_spaces", json::object()), "No spaces are visible to this account.");
}

TEST_F(ToolsTest, ListPagesOfAnEmptySpaceAndOfABarePage) {
    site->withData([](fake::SiteData& data) { data.spaces.push_back({"65600", "EMPTY", "Nothing here", "global", "current", {}}); });
    EXPECT_EQ(run("list_pages", {{"spaceKey", " EMPTY\t"}}), "No pages in space EMPTY.");

    inject("/wiki/api/v2/pages", {{"results", {{{"id", "5"}, {"title", ""}}}}});
    EXPECT_EQ(run("list_pages", {{"spaceKey", ""}}),
              "Pages in all spaces — 1, most recently updated first:\n  5  v1  (untitled)  (—)");
}

TEST_F(ToolsTest, SearchShowsWhatEachHitCarries) {
    inject("/wiki/rest/api/search",
           {{"results",
             {{{"content", {{"id", "7"}, {"title", "Plan"}}},
               {"title", "ignored"},
               {"excerpt", "<p>first @@@hl@@@plan@@@endhl@@@</p><ul><li>second</li></ul>"},
               {"resultGlobalContainer", {{"title", "Engineering"}}},
               {"lastModified", "2026-12-02T09:00:00.000Z"}},
              {{"title", "Loose hit"}, {"lastModified", "not a date"}}}}});
    EXPECT_EQ(run("search_pages", {{"query", "plan"}, {"spaceKey", ""}, {"limit", 500}}),
              "2 results in all spaces for \"plan\":\n"
              "  7  Plan [Engineering] (yesterday)\n"
              "      first plan • second\n"
              "  ?  Loose hit");
    // An empty key searches every space, though one is configured: the Ops page is found.
    EXPECT_NE(run("search_pages", {{"query", "rota"}, {"spaceKey", ""}}).find("98308  On-call rota"), std::string::npos);
    defaultSpace = "";
    EXPECT_EQ(run("search_pages", {{"query", "say \"cheese\""}}), "Nothing in all spaces matched \"say \"cheese\"\".");
}

TEST_F(ToolsTest, GetPagePrefersTheIdAndLooksTitlesUpInASpace) {
    readOnly = true;  // reading is what the read-only setting leaves
    site->withData([](fake::SiteData& data) { data.pageById("98306")->body = "<p> </p>"; });
    EXPECT_EQ(run("get_page", {{"pageId", "98306"}, {"title", "Engineering Home"}, {"format", "text"}}),
              "Roadmap for Q3\nid: 98306 · version: 7 · updated: 01 December 2026 (2 days ago)\n" + site->baseURL() +
                  "/wiki/spaces/ENG/pages/98306/Roadmap+for+Q3\n\n(empty page)");
    EXPECT_THAT(site->requestLines(), ElementsAre(roadmapById));

    EXPECT_TRUE(run("get_page", {{"pageId", " " + site->baseURL() + "/wiki/spaces/ENG/pages/98306/Roadmap+for+Q3\n"}})
                    .starts_with("Roadmap for Q3\n"));
    EXPECT_THAT(site->requestLines(), ElementsAre(roadmapById));

    EXPECT_TRUE(run("get_page", {{"pageId", 98305}, {"title", "Roadmap for Q3"}}).starts_with("Roadmap for Q3\n"));
}

TEST_F(ToolsTest, CreatePageKeepsStorageAsGivenAndOmitsAnEmptyParent) {
    run("create_page", {{"title", "Child"}, {"body", " <p>x</p>\n"}, {"format", "storage"}, {"parentId", " 98306 "}});
    EXPECT_EQ(lastBody()["body"]["value"], " <p>x</p>\n");
    EXPECT_EQ(lastBody()["parentId"], "98306");

    run("create_page", {{"title", "Linked"}, {"parentId", site->baseURL() + "/wiki/x/AYAB"}});
    EXPECT_EQ(lastBody()["parentId"], "98305");

    run("create_page", {{"title", "Empty"}, {"parentId", ""}});
    EXPECT_EQ(lastBody()["body"]["value"], "");
    EXPECT_FALSE(lastBody().contains("parentId"));
}

TEST_F(ToolsTest, UpdatePageRenamesAndTrimsTheVersionMessage) {
    struct Row {
        json arguments;
        std::string firstLine;
        std::string sentTitle;
        std::string sentBody;
        json sentNote = nullptr;  // the version's message; null: none sent
    };
    const Row rows[] = {
        {{{"body", ""}, {"newTitle", " Plan "}}, "Updated page 98306 — Plan", "Plan", ""},
        {{{"newTitle", nullptr}}, "Renamed page 98306 — Roadmap for Q3", "Roadmap for Q3", roadmapStorage},
        {{{"body", "a"}, {"versionMessage", " tidy \n"}}, "Updated page 98306 — Roadmap for Q3", "Roadmap for Q3",
         "<p>a</p>", "tidy"},
        {{{"body", "b"}, {"versionMessage", "  "}}, "Updated page 98306 — Roadmap for Q3", "Roadmap for Q3", "<p>b</p>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.dump());
        site->withData([](fake::SiteData& data) { data = fake::SiteData::minimal(); });  // back to v7
        json arguments = row.arguments;
        arguments["pageId"] = "98306";
        const std::string text = run("update_page", arguments);
        EXPECT_EQ(text.substr(0, text.find('\n')), row.firstLine + ", now v8");
        EXPECT_THAT(site->requestLines(), ElementsAre(roadmapById, "PUT /wiki/api/v2/pages/98306"));
        EXPECT_EQ(lastBody()["title"], row.sentTitle);
        EXPECT_EQ(lastBody()["body"]["value"], row.sentBody);
        EXPECT_EQ(lastBody()["version"].value("message", json()), row.sentNote);
    }
}

TEST_F(ToolsTest, UpdatePageArgumentFailuresComeAfterTheRead) {
    const std::pair<json, const char*> rows[] = {
        {{{"body", json::array({"x"})}}, "Nothing to change — pass `body`, `newTitle`, or both."},
        {{{"body", "x"}, {"mode", "merge"}}, "`mode` must be one of replace, append, prepend."},
        {{{"newTitle", "x"}, {"format", "rtf"}}, "`format` must be 'text' or 'storage' — got 'rtf'."},
    };
    for (const auto& [arguments, message] : rows) {
        SCOPED_TRACE(arguments.dump());
        json withId = arguments;
        withId["pageId"] = "98306";
        EXPECT_EQ(run("update_page", withId), std::string("error: ") + message);
        EXPECT_THAT(site->requestLines(), ElementsAre(roadmapById));
    }
}

TEST_F(ToolsTest, DeletePagePurgesOnlyForTheBooleanTrue) {
    EXPECT_EQ(run("delete_page", {{"pageId", site->baseURL() + "/wiki/pages/viewpage.action?pageId=98307"}, {"purge", "true"}}),
              "Moved page 98307 — Release checklist to the space's trash. It can be restored from there.");
    EXPECT_THAT(site->requestLines(), ElementsAre("GET /wiki/api/v2/pages/98307", "DELETE /wiki/api/v2/pages/98307"));
}

}  // namespace
}  // namespace folioport::MCPServer
