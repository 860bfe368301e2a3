#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "FakeConfluence.h"
#include "Harness.h"
#include "TestCertificate.h"
#include "mcp/ToolDispatch.h"
#include "platform/HttpTransport.h"

// Tool calls against a site that answers to mislead: links and redirects elsewhere, answers about
// other pages and spaces, unusable addresses, answers without end. The request logs of the site and
// of a second host are the evidence.
namespace folioport::MCPServer {
namespace {

using fake::FakeConfluence;
using fake::Fault;
using nlohmann::json;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(HostileSiteTest, CredentialsStayOnTheSiteAndMisleadingAnswersChangeNothing) {
    const auto& certificate = testing::testCertificate();
    platform::HttpTransport::configure({.certificateAuthorityFile = certificate.certificateFile});

    const std::string offSite = "error: Confluence pointed to another site ({to}); Folioport sends your credentials "
                                "only to the configured site, so it stopped there.";
    const std::string otherSiteLink = "error: That link points to {to}, but Folioport is set up for {site}; paste a "
                                      "link to a page on that site, or the page's id.";
    const std::string notAPage = "error: That is not a page id or a link to a page, so nothing was sent to Confluence.";
    const std::string otherPage = "error: Confluence answered with page 98307 when asked for page 98306, so Folioport "
                                  "did not use that answer.";
    const std::string wrongTitle = "error: Confluence answered the lookup of the page titled 'Coding Standards' with "
                                   "page 98306, which carries another title or lies in another space, so Folioport "
                                   "did not use that answer.";
    const json page98307 = {{"id", "98307"}, {"title", "Release checklist"}, {"version", {{"number", 2}}}};
    auto answer = [](const char* method, const char* path, json body) {
        return Fault{.kind = Fault::Kind::status, .status = 200, .body = body.dump(), .method = method, .pathPrefix = path};
    };
    auto redirect = [](int status, const char* path, std::string location) {
        return Fault{.kind = Fault::Kind::status, .status = status, .pathPrefix = path, .location = std::move(location)};
    };

    // In texts, faults and requests, {site} is the site's address, {other} the other host's, {downgraded}
    // the site's host and port over plain http, {to} the origin a row is refused, {gateway} the path the
    // gateway serves the site under (its own port of the site) in rows that store the gateway. A row with a
    // `storedGateway` reads its settings from a preferences file that holds it, as the server does.
    struct Row {
        const char* name;
        const char* tool;
        json arguments;
        std::vector<Fault> faults;
        std::string expected;  // "error: …" exactly; any other text must appear in the answer
        std::vector<std::string> siteRequests;
        std::string to = "{other}";
        bool viaGateway = false;
        std::string storedGateway = {};
    };
    const std::string ignoredGateway = "ignoring \"gatewayBaseURL\" in the preferences: it is not the API gateway's "
                                       "address https://api.atlassian.com/ex/confluence/<cloud id>, so requests go to "
                                       "the site itself";
    const char* spaces = "/wiki/api/v2/spaces";
    const char* roadmap = "/wiki/api/v2/pages/98306";
    const Row rows[] = {
        {"a next link to another host", "list_spaces", {{"limit", 300}},
         {answer("GET", spaces, {{"results", {{{"id", "1"}, {"key", "A"}}}}, {"_links", {{"next", "{other}/wiki/api/v2/spaces?cursor=x"}}}})},
         offSite, {"GET /wiki/api/v2/spaces"}},
        {"a next link from https down to http", "list_pages", {{"spaceKey", ""}},
         {answer("GET", "/wiki/api/v2/pages", {{"results", json::array()}, {"_links", {{"next", "{downgraded}/wiki/api/v2/pages?cursor=x"}}}})},
         offSite, {"GET /wiki/api/v2/pages"}, "{downgraded}"},
        {"a next link that is no http address", "list_spaces", {},
         {answer("GET", spaces, {{"results", json::array()}, {"_links", {{"next", "https://user@{otherHost}/x"}}}})},
         offSite, {"GET /wiki/api/v2/spaces"}, "https://user@{otherHost}/x"},
        {"a redirect to another host", "get_page", {{"pageId", "98306"}},
         {redirect(302, roadmap, "{other}/wiki/api/v2/pages/98306")}, offSite, {"GET /wiki/api/v2/pages/98306"}},
        {"a redirect from https down to http", "delete_page", {{"pageId", "98306"}},
         {redirect(302, roadmap, "{downgraded}/x"), redirect(307, roadmap, "{downgraded}/x")}, offSite,
         {"GET /wiki/api/v2/pages/98306", "DELETE /wiki/api/v2/pages/98306"}, "{downgraded}"},
        {"through the gateway, a next link to another host", "list_spaces", {{"limit", 300}},
         {answer("GET", "{gateway}/wiki/api/v2/spaces", {{"results", {{{"id", "1"}, {"key", "A"}}}}, {"_links", {{"next", "{other}/wiki/api/v2/spaces?cursor=x"}}}})},
         offSite, {"GET {gateway}/wiki/api/v2/spaces"}, "{other}", true},
        {"through the gateway, a redirect to the site is followed", "get_page", {{"pageId", "98306"}},
         {redirect(302, "{gateway}/wiki/api/v2/pages/98306", "{site}/wiki/api/v2/pages/98306?body-format=storage")},
         "Roadmap for Q3\nid: 98306", {"GET {gateway}/wiki/api/v2/pages/98306", "GET /wiki/api/v2/pages/98306"}, "{other}", true},
        {"through the gateway, web addresses stay on the site", "get_page", {{"pageId", "98306"}},
         {answer("GET", "{gateway}/wiki/api/v2/pages/98306", {{"id", "98306"}, {"title", "T"}, {"_links", json::object()}})},
         "\n{site}/wiki/pages/viewpage.action?pageId=98306\n", {"GET {gateway}/wiki/api/v2/pages/98306"}, "{other}", true},
        {"a hand-set gateway on another host over plain http", "list_spaces", {}, {}, "Spaces — 2:",
         {"GET /wiki/api/v2/spaces"}, "{other}", false, "{other}/ex/confluence/x"},
        {"a hand-set gateway that names the gateway's host as a user", "get_page", {{"pageId", "98306"}}, {},
         "Roadmap for Q3\nid: 98306", {"GET /wiki/api/v2/pages/98306"}, "{other}", false,
         "https://api.atlassian.com@{otherHost}/ex/confluence/x"},
        {"a redirect within the site is followed", "get_page", {{"pageId", "98306"}},
         {redirect(301, roadmap, "{site}/wiki/api/v2/pages/98306?body-format=storage")}, "Roadmap for Q3\nid: 98306",
         {"GET /wiki/api/v2/pages/98306", "GET /wiki/api/v2/pages/98306"}},
        {"the read of the named page answers another page", "update_page", {{"pageId", "98306"}, {"body", "x"}},
         {answer("GET", roadmap, page98307)}, otherPage, {"GET /wiki/api/v2/pages/98306"}},
        {"a redirect within the site to another page", "update_page", {{"pageId", "98306"}, {"newTitle", "x"}},
         {redirect(302, roadmap, "{site}/wiki/api/v2/pages/98307?body-format=storage")}, otherPage,
         {"GET /wiki/api/v2/pages/98306", "GET /wiki/api/v2/pages/98307"}},
        {"a page link to another host", "delete_page", {{"pageId", "{other}/wiki/spaces/ENG/pages/98306"}}, {},
         otherSiteLink, {}},
        {"a parent's link from https down to http", "create_page", {{"title", "T"}, {"parentId", "{downgraded}/wiki/x/AoAB"}},
         {}, otherSiteLink, {}, "{downgraded}"},
        {"a link of the site that names no page", "get_page", {{"pageId", "{site}/wiki/spaces/ENG/overview"}}, {},
         notAPage, {}},
        {"a space key that is a list", "create_page", {{"title", "T"}, {"spaceKey", "NOPE,OPS"}}, {},
         "error: No space with key 'NOPE,OPS'.", {}},
        {"a space lookup answering another space", "create_page", {{"title", "T"}, {"spaceKey", "ENG"}},
         {answer("GET", spaces, {{"results", {{{"id", "65538"}, {"key", "OPS"}}}}})}, "error: No space with key 'ENG'.",
         {"GET /wiki/api/v2/spaces"}},
        {"a title lookup answering another page", "update_page",
         {{"title", "Coding Standards"}, {"spaceKey", "ENG"}, {"body", "x"}},
         {answer("GET", "/wiki/api/v2/pages", {{"results", {{{"id", "98306"}, {"title", "Roadmap for Q3"}, {"spaceId", "65537"}}}}})},
         wrongTitle, {"GET /wiki/api/v2/spaces", "GET /wiki/api/v2/pages"}},
        {"a title lookup answering the title from another space", "get_page", {{"title", "Coding Standards"}},
         {answer("GET", "/wiki/api/v2/pages", {{"results", {{{"id", "98306"}, {"title", "Coding Standards"}, {"spaceId", "1"}}}}})},
         wrongTitle, {"GET /wiki/api/v2/spaces", "GET /wiki/api/v2/pages"}},
        {"line breaks and controls in one-line fields", "list_pages", {},
         {answer("GET", "/wiki/api/v2/pages", {{"results", {{{"id", "9\r1"}, {"title", "Real\n  98399  v1  Forged\u0085\u2028\x1b[2J"}}}}})},
         "  9 1  v1  Real   98399  v1  Forged   [2J  (—)", {"GET /wiki/api/v2/spaces", "GET /wiki/api/v2/pages"}},
        {"the highest version there can be", "update_page", {{"pageId", "98306"}, {"body", "x"}},
         {answer("GET", roadmap, {{"id", "98306"}, {"title", "T"}, {"version", {{"number", INT64_MAX}}}})},
         "error: Page 98306 already has the highest version number there can be, so no newer version can be saved.",
         {"GET /wiki/api/v2/pages/98306"}},
        {"an answer nested without end", "list_spaces", {},
         {{.kind = Fault::Kind::gzipBomb, .body = "[", .inflatedBytes = (std::size_t{16} << 20)}},
         "error: Could not read Confluence's response: the answer nests deeper than 512 levels",
         {"GET /wiki/api/v2/spaces"}},
        {"an answer that inflates beyond the cap", "list_spaces", {},
         {{.kind = Fault::Kind::gzipBomb, .inflatedBytes = (std::size_t{65} << 20)}},
         "error: Confluence's response is larger than 64 MB, so Folioport stopped reading it.",
         {"GET /wiki/api/v2/spaces"}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto site = FakeConfluence::start(fake::SiteData::minimal(),
                                          {.tls = fake::TlsFiles{certificate.certificateFile, certificate.privateKeyFile},
                                           .gatewayPort = row.viaGateway ? std::optional(0) : std::nullopt});
        auto other = FakeConfluence::start();
        ASSERT_TRUE(site && other);
        const std::string siteURL = (*site)->baseURL(), otherURL = (*other)->baseURL();
        const std::string gatewayPath = "/ex/confluence/" + (*site)->withData([](fake::SiteData& data) { return data.cloudId; });
        auto expand = [&](std::string text) {
            text = replaced(std::move(text), "{to}", row.to);
            text = replaced(std::move(text), "{gateway}", gatewayPath);
            text = replaced(std::move(text), "{site}", siteURL);
            text = replaced(std::move(text), "{other}", otherURL);
            text = replaced(std::move(text), "{otherHost}", otherURL.substr(otherURL.find("//") + 2));
            return replaced(std::move(text), "{downgraded}", "http" + siteURL.substr(5));
        };
        for (Fault fault : row.faults) {
            fault.body = expand(fault.body);
            fault.location = expand(fault.location);
            fault.pathPrefix = expand(fault.pathPrefix);
            (*site)->inject(std::move(fault));
        }
        const std::string gateway = row.viaGateway ? (*site)->gatewayURL() + gatewayPath : "";
        const Settings settings{{siteURL, "mia@example.com", "test-token", gateway}, "ENG", {}};
        testing::TemporaryDirectory home;
        std::ofstream(home.path / "preferences.json")
            << json{{"baseURL", siteURL}, {"email", "mia@example.com"}, {"spaceKey", "ENG"},
                    {"gatewayBaseURL", expand(row.storedGateway)}};
        std::vector<std::string> warnings;
        SettingsReader reader(
            home.path / "preferences.json", [&](std::string_view line) { warnings.emplace_back(line); },
            [] { return std::optional<std::string>("test-token"); });
        const auto outcome = perform(row.tool, json::parse(expand(row.arguments.dump())), [&] {
            return row.storedGateway.empty() ? settings : reader.load();
        });
        EXPECT_EQ(warnings, row.storedGateway.empty() ? std::vector<std::string>{} : std::vector{ignoredGateway});
        const std::string text = outcome ? *outcome : "error: " + describe(outcome.error());
        const std::string expected = expand(row.expected);
        if (expected.starts_with("error: ")) EXPECT_EQ(text, expected);
        else EXPECT_NE(text.find(expected), std::string::npos) << text;

        std::vector<std::string> seen = (*site)->requestLines();
        for (std::string& line : seen) line.erase(std::min(line.find('?'), line.size()));  // the client's tests hold the queries
        std::vector<std::string> expectedRequests;
        for (const std::string& line : row.siteRequests) expectedRequests.push_back(expand(line));
        EXPECT_EQ(seen, expectedRequests);
        EXPECT_EQ((*site)->withData([](fake::SiteData& data) { return data.pageById("98306")->version; }), 7);
        EXPECT_TRUE((*other)->requests().empty());
        for (const auto& request : (*other)->requests()) EXPECT_EQ(request.authorization, "");
    }
}

}  // namespace
}  // namespace folioport::MCPServer
