#include "ToolSite.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using PageTools = ToolSite;

const std::string roadmapById = "GET /wiki/api/v2/pages/98306?body-format=storage";
const std::string roadmapStorage = "<h1>Roadmap</h1><p>The roadmap for Q3 covers search &amp; sync.</p>";

TEST_F(PageTools, GetPageOfAnEmptyPage) {
    site->withData([](fake::SiteData& data) { data.pageById("98306")->body = "<p> </p>"; });
    EXPECT_EQ(answer("get_page", {{"pageId", "98306"}, {"format", "text"}}),
              "Roadmap for Q3\nid: 98306 · version: 7 · updated: 01 December 2026 (2 days ago)\n" + wiki() +
                  "/spaces/ENG/pages/98306/Roadmap+for+Q3\n\n(empty page)");
}

TEST_F(PageTools, PageSelectorPrefersTheIdAndLooksTitlesUpInASpace) {
    EXPECT_TRUE(call("get_page", {{"pageId", "98306"}, {"title", "Engineering Home"}}));
    EXPECT_THAT(requests(), ElementsAre(roadmapById));

    EXPECT_TRUE(answer("get_page", {{"pageId", 98305}, {"title", "Roadmap for Q3"}}).starts_with("Roadmap for Q3\n"));
    EXPECT_THAT(requests(), ElementsAre(engLookup, "GET /wiki/api/v2/pages?title=Roadmap for Q3&space-id=65537"
                                                   "&status=current&limit=2&body-format=storage"));

    EXPECT_EQ(failure("get_page", {{"title", "Nope"}}), "No page titled 'Nope' in that space.");
}

TEST_F(PageTools, PageSelectorFailuresComeBeforeAnyRequest) {
    struct Row {
        const char* name;
        json arguments;
        std::string configuredSpace;
        const char* message;
    };
    const Row rows[] = {
        {"nothing given", json::object(), "ENG", "Pass either `pageId` or `title` (with a `spaceKey`)."},
        {"blank id and title", {{"pageId", " "}, {"title", ""}}, "ENG",
         "Pass either `pageId` or `title` (with a `spaceKey`)."},
        {"numeric id", {{"pageId", 98306}}, "ENG", "Pass either `pageId` or `title` (with a `spaceKey`)."},
        {"title without any space", {{"title", "Roadmap for Q3"}}, " ",
         "`title` needs a `spaceKey` (or a default space in Folioport Settings)."},
        {"title with an explicit empty space", {{"title", "Roadmap for Q3"}, {"spaceKey", ""}}, "ENG",
         "`title` needs a `spaceKey` (or a default space in Folioport Settings)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        defaultSpace = row.configuredSpace;
        for (const char* tool : {"get_page", "update_page"}) {
            EXPECT_EQ(failure(tool, row.arguments), row.message);
            EXPECT_THAT(requests(), IsEmpty());
        }
    }
}

TEST_F(PageTools, CreatePageChecksEveryArgumentBeforeAnyRequest) {
    struct Row {
        const char* name;
        json arguments;
        std::string configuredSpace;
        const char* message;
    };
    const Row rows[] = {
        {"no title", {{"body", "x"}}, "ENG", "`title` is required."},
        {"blank title", {{"title", " \t"}}, "ENG", "`title` is required."},
        {"no space anywhere", {{"title", "T"}}, "", "No `spaceKey` given and no default space set in Folioport Settings."},
        {"explicit empty space", {{"title", "T"}, {"spaceKey", " "}}, "ENG",
         "No `spaceKey` given and no default space set in Folioport Settings."},
        {"bad format", {{"title", "T"}, {"format", "docx"}}, "ENG", "`format` must be 'text' or 'storage' — got 'docx'."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        defaultSpace = row.configuredSpace;
        EXPECT_EQ(failure("create_page", row.arguments), row.message);
        EXPECT_THAT(requests(), IsEmpty());
    }
}

TEST_F(PageTools, CreatePageInStorageFormatUnderAParent) {
    EXPECT_TRUE(call("create_page", {{"title", "Child"}, {"body", " <p>x</p>\n"}, {"format", "storage"},
                                      {"parentId", " 98306 "}}));
    EXPECT_EQ(lastBody()["body"]["value"], " <p>x</p>\n");
    EXPECT_EQ(lastBody()["parentId"], "98306");

    EXPECT_TRUE(call("create_page", {{"title", "Empty"}, {"parentId", ""}}));
    EXPECT_EQ(lastBody()["body"]["value"], "");
    EXPECT_FALSE(lastBody().contains("parentId"));
}

TEST_F(PageTools, UpdatePageModesAndRenames) {
    struct Row {
        const char* name;
        json arguments;
        std::string verbAndTitle;
        std::string sentTitle;
        std::string sentBody;
    };
    const Row rows[] = {
        {"replace is the default", {{"body", "New"}}, "Updated page 98306 — Roadmap for Q3", "Roadmap for Q3",
         "<p>New</p>"},
        {"prepend in storage format", {{"body", "<p>Top</p>"}, {"mode", "prepend"}, {"format", "xhtml"}},
         "Prepended to page 98306 — Roadmap for Q3", "Roadmap for Q3", "<p>Top</p>" + roadmapStorage},
        {"body and new title", {{"body", ""}, {"newTitle", " Plan "}}, "Updated page 98306 — Plan", "Plan", ""},
        {"null new title", {{"newTitle", nullptr}}, "Renamed page 98306 — Roadmap for Q3", "Roadmap for Q3",
         roadmapStorage},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        site->withData([](fake::SiteData& data) {
            fake::FakePage& page = *data.pageById("98306");
            page.version = 7;
            page.title = "Roadmap for Q3";
            page.body = roadmapStorage;
        });
        json arguments = row.arguments;
        arguments["pageId"] = "98306";
        const std::string text = answer("update_page", arguments);
        EXPECT_EQ(text, row.verbAndTitle + ", now v8\n" + wiki() + text.substr(text.find("/spaces/")));
        EXPECT_THAT(requests(), ElementsAre(roadmapById, "PUT /wiki/api/v2/pages/98306"));
        const json sent = lastBody();
        EXPECT_EQ(sent["title"], row.sentTitle);
        EXPECT_EQ(sent["body"]["value"], row.sentBody);
        EXPECT_EQ(sent["version"]["number"], 8);
    }
}

TEST_F(PageTools, UpdatePageVersionMessageIsTrimmedAndBlankMeansNone) {
    EXPECT_TRUE(call("update_page", {{"pageId", "98306"}, {"body", "a"}, {"versionMessage", " tidy \n"}}));
    EXPECT_EQ(lastBody()["version"]["message"], "tidy");
    EXPECT_TRUE(call("update_page", {{"pageId", "98306"}, {"body", "b"}, {"versionMessage", "  "}}));
    EXPECT_FALSE(lastBody()["version"].contains("message"));
}

TEST_F(PageTools, UpdatePageArgumentFailuresComeAfterTheRead) {
    struct Row {
        const char* name;
        json arguments;
        const char* message;
    };
    const Row rows[] = {
        {"nothing to change", json::object(), "Nothing to change — pass `body`, `newTitle`, or both."},
        {"a body that is no string", {{"body", json::array({"x"})}},
         "Nothing to change — pass `body`, `newTitle`, or both."},
        {"bad mode", {{"body", "x"}, {"mode", "merge"}}, "`mode` must be one of replace, append, prepend."},
        {"bad format", {{"newTitle", "x"}, {"format", "rtf"}}, "`format` must be 'text' or 'storage' — got 'rtf'."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        json arguments = row.arguments;
        arguments["pageId"] = "98306";
        EXPECT_EQ(failure("update_page", arguments), row.message);
        EXPECT_THAT(requests(), ElementsAre(roadmapById));
    }
}

TEST_F(PageTools, DeletePageNeedsAnIdBeforeAnyRequest) {
    for (const json& pageId : {json(" "), json(98307), json(nullptr)}) {
        EXPECT_EQ(failure("delete_page", {{"pageId", pageId}, {"title", "Release checklist"}}),
                  "`pageId` is required — look it up with search_pages or list_pages first.");
        EXPECT_THAT(requests(), IsEmpty());
    }
}

TEST_F(PageTools, DeletePageTrashesUnlessPurgeIsTheBooleanTrue) {
    EXPECT_EQ(answer("delete_page", {{"pageId", " 98307"}, {"purge", "true"}}),
              "Moved page 98307 — Release checklist to the space's trash. It can be restored from there.");
    EXPECT_THAT(requests(), ElementsAre("GET /wiki/api/v2/pages/98307", "DELETE /wiki/api/v2/pages/98307"));
}

}  // namespace
}  // namespace folioport::MCPServer
