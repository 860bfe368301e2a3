#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FakeConfluence.h"
#include "TestCertificate.h"
#include "confluence/ConfluenceClient.h"
#include "confluence/ConnectionCheck.h"
#include "confluence/PageLink.h"
#include "platform/HttpTransport.h"

namespace folioport {
namespace {

using fake::FakeConfluence;
using fake::Fault;
using fake::SiteData;
using nlohmann::json;

}  // namespace

void PrintTo(const ConnectionCheck& check, std::ostream* out) {
    *out << "outcome " << static_cast<int>(check.outcome) << ", \"" << check.sentence << "\", route "
         << (check.gatewayBaseURL ? '"' + *check.gatewayBaseURL + '"' : "undecided");
}

namespace {

/// A fake site, with a second port standing in for the API gateway.
std::unique_ptr<FakeConfluence> startSite(bool tls, SiteData data = SiteData::minimal()) {
    const auto& certificate = testing::testCertificate();
    platform::HttpTransport::configure({.certificateAuthorityFile = certificate.certificateFile});
    fake::FakeOptions options{.gatewayPort = 0};
    if (tls) options.tls = fake::TlsFiles{certificate.certificateFile, certificate.privateKeyFile};
    auto site = FakeConfluence::start(std::move(data), options);
    if (!site) ADD_FAILURE() << site.error();
    return site ? std::move(*site) : nullptr;
}

ConfluenceClient clientFor(const FakeConfluence& site, std::string token = "test-token") {
    return ConfluenceClient({site.baseURL() + "/wiki/", "mia@example.com", std::move(token)});
}

/// The path the fake gateway serves the site's API under.
std::string gatewayPath(FakeConfluence& site) {
    return "/ex/confluence/" + site.withData([](SiteData& data) { return data.cloudId; });
}

/// A client that has the gateway stored and a scoped token, which only the gateway takes.
ConfluenceClient gatewayClientFor(FakeConfluence& site) {
    return ConfluenceClient({site.baseURL(), "mia@example.com", "scoped-token", site.gatewayURL() + gatewayPath(site)});
}

SiteData siteWithSpaces(int count) {
    SiteData data = SiteData::minimal();
    data.spaces.clear();
    data.pages.clear();
    for (int i = 0; i < count; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "S%03d", i);
        data.spaces.push_back({std::to_string(70000 + i), key, std::string("Space ") + key});
    }
    return data;
}

template <class T>
std::optional<ConfluenceError> failure(const std::expected<T, ConfluenceError>& result) {
    return result ? std::nullopt : std::optional(result.error());
}

/// Every case runs over plain HTTP and over HTTPS with a certificate made for this run.
class ClientTest : public ::testing::TestWithParam<bool> {
protected:
    std::unique_ptr<FakeConfluence> start(SiteData data = SiteData::minimal()) {
        return startSite(GetParam(), std::move(data));
    }
};

INSTANTIATE_TEST_SUITE_P(Transport, ClientTest, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "https" : "http"; });

TEST_P(ClientTest, EveryOperationSendsItsExactRequest) {
    struct Row {
        const char* name;
        std::function<bool(const ConfluenceClient&)> call;  // true when the operation succeeded
        std::string request;
        const char* body = "";  // JSON; empty when none is sent
    };
    const Row rows[] = {
        {"current user", [](auto& c) { return c.currentUser().has_value(); }, "GET /wiki/rest/api/user/current"},
        {"user by account id",
         [](auto& c) { return nameOf(c.user("5b10ac8d82e05b22cc7d4ef5").value_or(ConfluenceUser{})) == "Mia Krystof"; },
         "GET /wiki/rest/api/user?accountId=5b10ac8d82e05b22cc7d4ef5"},
        {"spaces", [](auto& c) { return c.spaces(10).has_value(); },
         "GET /wiki/api/v2/spaces?status=current&sort=name&limit=10"},
        {"pages of an empty space id, batch capped", [](auto& c) { return c.pages("", 600).has_value(); },
         "GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=250"},
        {"space by padded key", [](auto& c) { return c.space(" ENG\t").has_value(); },
         "GET /wiki/api/v2/spaces?keys=ENG&limit=1"},
        {"page without body", [](auto& c) { return c.page("98306", false).has_value(); },
         "GET /wiki/api/v2/pages/98306"},
        {"page by title with body", [](auto& c) { return c.page("Roadmap for Q3", "65537", true).has_value(); },
         "GET /wiki/api/v2/pages?title=Roadmap for Q3&space-id=65537&status=current&limit=2&body-format=storage"},
        {"create under a parent",
         [](auto& c) { return c.createPage("65537", "New", "<p>x</p>", std::string("98305")).has_value(); },
         "POST /wiki/api/v2/pages",
         R"({"spaceId":"65537","status":"current","title":"New",
             "body":{"representation":"storage","value":"<p>x</p>"},"parentId":"98305"})"},
        {"create with an empty parent and a title that is not UTF-8",
         [](auto& c) { return c.createPage("65537", "Bad \xff", "<p/>", std::string()).has_value(); },
         "POST /wiki/api/v2/pages",
         R"({"spaceId":"65537","status":"current","title":"Bad \uFFFD",
             "body":{"representation":"storage","value":"<p/>"}})"},
        {"update with a note",
         [](auto& c) { return c.updatePage("98306", "Roadmap", "<p>y</p>", 7, std::string("why")).has_value(); },
         "PUT /wiki/api/v2/pages/98306",
         R"({"id":"98306","status":"current","title":"Roadmap","body":{"representation":"storage","value":"<p>y</p>"},
             "version":{"number":8,"message":"why"}})"},
        {"update with an empty note",
         [](auto& c) { return c.updatePage("98306", "Roadmap", "<p>y</p>", 7, std::string()).has_value(); },
         "PUT /wiki/api/v2/pages/98306",
         R"({"id":"98306","status":"current","title":"Roadmap","body":{"representation":"storage","value":"<p>y</p>"},
             "version":{"number":8}})"},
        {"trash", [](auto& c) { return c.deletePage("98307", false).has_value(); }, "DELETE /wiki/api/v2/pages/98307"},
        {"search in a padded space", [](auto& c) { return c.search("say \"hi\"", std::string(" ENG "), 500).has_value(); },
         R"(GET /wiki/rest/api/search?cql=type = page AND text ~ "say \"hi\"" AND space = "ENG" ORDER BY lastmodified DESC&limit=100)"},
        {"search ending in a backslash", [](auto& c) { return c.search("C:\\temp\\", std::nullopt, 5).has_value(); },
         R"(GET /wiki/rest/api/search?cql=type = page AND text ~ "C:\\temp\\" ORDER BY lastmodified DESC&limit=5)"},
    };
    // Through a stored gateway every request keeps its path under the gateway's base, with the same login.
    for (bool viaGateway : {false, true})
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (viaGateway ? " through the gateway" : ""));
            auto site = start();
            ASSERT_TRUE(site);
            EXPECT_TRUE(row.call(viaGateway ? gatewayClientFor(*site) : clientFor(*site)));
            auto log = site->requests();
            ASSERT_EQ(log.size(), 1u);
            const std::string method = row.request.substr(0, row.request.find(' ') + 1);
            EXPECT_EQ(log[0].line(),
                      viaGateway ? method + gatewayPath(*site) + row.request.substr(method.size()) : row.request);
            EXPECT_EQ(log[0].authorization, viaGateway ? "Basic bWlhQGV4YW1wbGUuY29tOnNjb3BlZC10b2tlbg=="  // …:scoped-token
                                                       : "Basic bWlhQGV4YW1wbGUuY29tOnRlc3QtdG9rZW4=");  // mia@example.com:test-token
            if (*row.body) EXPECT_EQ(json::parse(log[0].body), json::parse(row.body));
            else EXPECT_EQ(log[0].body, "");
        }
}

TEST_P(ClientTest, PagingFollowsEveryLinkFormAndCutsAtTheCap) {
    // Relative links are followed under the base in use, the site's or the stored gateway's.
    for (bool viaGateway : {false, true})
        for (auto style : {fake::NextLinkStyle::wikiPath, fake::NextLinkStyle::apiPath, fake::NextLinkStyle::absolute}) {
            if (viaGateway && style == fake::NextLinkStyle::absolute) continue;  // the off-site table holds those
            SCOPED_TRACE(static_cast<int>(style) + (viaGateway ? 10 : 0));
            auto site = start(siteWithSpaces(320));
            ASSERT_TRUE(site);
            site->setNextLinkStyle(style);
            auto spaces = (viaGateway ? gatewayClientFor(*site) : clientFor(*site)).spaces(300);
            ASSERT_TRUE(spaces) << describe(spaces.error());
            ASSERT_EQ(spaces->size(), 300u);
            EXPECT_EQ(spaces->back().key, "S299");
            auto log = site->requests();
            ASSERT_EQ(log.size(), 2u);
            const std::string first = "GET " + (viaGateway ? gatewayPath(*site) : "") +
                                      "/wiki/api/v2/spaces?status=current&sort=name&limit=250";
            EXPECT_EQ(log[0].line(), first);
            // The follow-up repeats nothing but the link's own items.
            EXPECT_EQ(log[1].line(), first + "&cursor=" + log[1].query.back().second);
        }
    // Every space comes in batches of 250; past the paging limits the first ones come, without an error.
    {
        auto big = start(siteWithSpaces(2010));
        ASSERT_TRUE(big);
        const auto all = clientFor(*big).allSpaces();
        ASSERT_TRUE(all) << describe(all.error());
        EXPECT_EQ(all->size(), 2010u);
        EXPECT_EQ(all->back().key, "S999");  // "Space S999" is last by name
        EXPECT_EQ(big->requests().size(), 9u);
        big->clearRequests();
        const auto reached = ConfluenceClient(clientFor(*big).config(), {.maxRequests = 3}).allSpaces();
        ASSERT_TRUE(reached) << describe(reached.error());
        EXPECT_EQ(reached->size(), 750u);
        EXPECT_EQ(big->requests().size(), 3u);
    }
    auto site = start();  // a batch that links back to itself must not loop
    ASSERT_TRUE(site);
    site->inject({.kind = Fault::Kind::status, .status = 200,
                  .body = R"({"results": [{"id": "1", "key": "LOOP"}], "_links": {"next": "/wiki/api/v2/spaces?x=1"}})",
                  .count = 50});
    EXPECT_EQ(clientFor(*site).spaces(100).value().size(), 2u);
    EXPECT_EQ(site->requests().size(), 2u);
}

TEST_P(ClientTest, NothingIsSentWithoutSomethingToAskOrAUsableConfig) {
    auto site = start();
    ASSERT_TRUE(site);
    auto client = clientFor(*site);
    EXPECT_EQ(describe(client.space(" \t").error()), "No space with key ''.");
    EXPECT_EQ(client.spaces(0).value().size(), 0u);  // the API refuses limit=0
    EXPECT_EQ(client.pages(std::nullopt, -1).value().size(), 0u);
    EXPECT_EQ(client.search("roadmap", std::nullopt, 0).value().size(), 0u);
    auto unconfigured = clientFor(*site, "");
    EXPECT_EQ(unconfigured.pages(std::nullopt, 10).error(), ConfluenceError::notConfigured());
    EXPECT_EQ(unconfigured.search("x", std::nullopt, 0).error(), ConfluenceError::notConfigured());
    EXPECT_EQ(checkConnection(unconfigured.config(), site->gatewayURL()),
              (ConnectionCheck{ConnectionCheck::Outcome::failed, describe(ConfluenceError::notConfigured()),
                               std::nullopt}));
    // A query or fragment in the site address would put every path after it.
    for (const char* suffix : {"/wiki?x=1", "#top"}) {
        ConfluenceClient odd({site->baseURL() + suffix, "mia@example.com", "test-token"});
        EXPECT_EQ(odd.currentUser().error(), ConfluenceError::badURL()) << suffix;
    }
    EXPECT_TRUE(site->requests().empty());
    ConfluenceClient badAddress({"https://exa mple.com", "mia@example.com", "token"});
    EXPECT_EQ(badAddress.currentUser().error(), ConfluenceError::badURL());
}

TEST_P(ClientTest, FailuresBecomeTheirSentences) {
    struct Row {
        const char* name;
        std::optional<Fault> fault;
        std::function<std::optional<ConfluenceError>(const ConfluenceClient&)> call;
        std::string description;  // empty: only the kind is fixed (the decoder's or libcurl's own text)
        std::string token = "test-token";
    };
    auto pageRead = [](const ConfluenceClient& c) { return failure(c.page("98306", true)); };
    auto fault = [](Fault::Kind kind, int status, std::string body = {}) {
        return Fault{.kind = kind, .status = status, .body = std::move(body)};
    };
    const Row rows[] = {
        {"wrong token", {}, pageRead,
         "Confluence returned HTTP 401. Authentication failed — check your email and API token.", "stale"},
        {"forbidden", fault(Fault::Kind::status, 403), pageRead,
         "Confluence returned HTTP 403. Access denied — your account may lack permission on this space or page."},
        {"missing page", {}, [](auto& c) { return failure(c.page("4242", false)); },
         "Confluence returned HTTP 404. Not found — check the site URL, space key or page id."},
        {"stale version", {}, [](auto& c) { return failure(c.updatePage("98306", "T", "<p/>", 6, std::nullopt)); },
         "Confluence returned HTTP 409. Version conflict — the page changed since it was loaded. Reload it and try "
         "again."},
        {"long 500 body cut at 300 characters",
         fault(Fault::Kind::status, 500, std::string(299, 'x') + "é" + std::string(700, 'y')), pageRead,
         "Confluence returned HTTP 500. " + std::string(299, 'x') + "é"},
        {"non-UTF-8 body", fault(Fault::Kind::nonUtf8Body, 502), pageRead, "Confluence returned HTTP 502. "},
        {"empty 2xx body", fault(Fault::Kind::emptyBody, 200), pageRead, ""},
        {"malformed 2xx body", fault(Fault::Kind::malformedJson, 200), pageRead, ""},
        {"dropped connection", fault(Fault::Kind::dropConnection, 200), pageRead, ""},
        {"missing space key", {}, [](auto& c) { return failure(c.space("NOPE ")); }, "No space with key 'NOPE'."},
        {"missing title", {}, [](auto& c) { return failure(c.page("Nope", "65537", false)); },
         "No page titled 'Nope' in that space."},
        {"a sign-in page answered with 200",
         fault(Fault::Kind::status, 200, "\n <!DOCTYPE html><html><body>Log in</body></html>"), pageRead,
         "Confluence answered with a web page instead of data. Check that the site address is your Confluence Cloud "
         "site (such as https://your-team.atlassian.net) and that no sign-in page or proxy stands in between."},
        {"empty batches with fresh links without end", Fault{.kind = Fault::Kind::endlessPaging, .count = 1000},
         [](auto& c) { return failure(c.spaces(1)); },
         "Confluence kept sending further batches; Folioport stops after 100 requests for one call."},
        {"batches that add up beyond the bytes of one call",
         Fault{.kind = Fault::Kind::endlessPaging, .body = R"([{"id":"1","key":")" + std::string(3000, 'K') + "\"}]",
               .count = 1000},
         [](auto& c) { return failure(ConfluenceClient(c.config(), {.maxBytes = 10'000}).spaces(100)); },
         "Confluence's answers to one call add up to more than 10000 bytes, so Folioport stopped reading them."},
        {"batches that go on beyond the time of one call", Fault{.kind = Fault::Kind::endlessPaging, .count = 100'000},
         [](auto& c) {
             return failure(ConfluenceClient(c.config(), {.maxRequests = 100'000, .time = std::chrono::milliseconds(300)})
                                .pages(std::nullopt, 1));
         },
         "Confluence's answers to one call took longer than 300 ms in all, so Folioport stopped."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto site = start();
        ASSERT_TRUE(site);
        if (row.fault) site->inject(*row.fault);
        std::optional<ConfluenceError> error = row.call(clientFor(*site, row.token));
        ASSERT_TRUE(error);
        if (!row.description.empty()) {
            EXPECT_EQ(describe(*error), row.description);
        } else {
            bool transport = row.fault->kind == Fault::Kind::dropConnection;
            EXPECT_EQ(error->kind, transport ? ConfluenceError::Kind::network : ConfluenceError::Kind::decoding)
                << describe(*error);
        }
    }
}

TEST_P(ClientTest, IdentifiersStayOnePathSegmentAndPathStepsAreNeverSent) {
    const std::pair<std::string, std::string> rows[] = {  // segment empty: fails as a missing page, unsent
        {"98305?purge=true", "98305%3Fpurge%3Dtrue"},
        {"98305#x", "98305%23x"},
        {"98305/../98306", ""},
        {"..", ""},
        {".", ""},
        {"%2e%2E", ""},
        {"%252E", ""},
        {"98305%2F", ""},
    };
    for (const auto& [id, segment] : rows) {
        SCOPED_TRACE(id);
        auto site = start();
        ASSERT_TRUE(site);
        const auto deleted = clientFor(*site).deletePage(id, false);
        ASSERT_FALSE(deleted);
        if (segment.empty()) {
            EXPECT_EQ(deleted.error(), ConfluenceError::notAPage());
            EXPECT_EQ(clientFor(*site).page(id, true).error(), ConfluenceError::notAPage());
            EXPECT_TRUE(site->requests().empty());
        } else {
            EXPECT_EQ(deleted.error().status, 400);
            ASSERT_EQ(site->requests().size(), 1u);
            EXPECT_EQ(site->requests()[0].line(), "DELETE /wiki/api/v2/pages/" + segment);
        }
        EXPECT_EQ(site->withData([](SiteData& d) { return d.pageById("98305")->status; }), "current");
    }
}

TEST_P(ClientTest, ConnectionCheckAsksTheSiteThenTheGatewayAndDecidesTheRoute) {
    using enum ConnectionCheck::Outcome;
    const std::string refusal = "Confluence returned HTTP 401. Authentication failed — check your email and API token.";
    const std::string user = "GET /wiki/rest/api/user/current", spaces = "GET /wiki/api/v2/spaces?status=current&sort=name&limit=1",
                      tenantInfo = "GET /_edge/tenant_info";
    auto tenantAnswer = [](std::string body) {
        return Fault{.kind = Fault::Kind::status, .status = 200, .body = std::move(body), .pathPrefix = "/_edge/"};
    };
    struct Row {
        const char* name;
        std::string token;
        std::vector<Fault> faults;
        ConnectionCheck expected;  // a gateway base of "{gateway}" is the fake gateway's
        std::vector<std::string> requests;  // "{gateway}" stands for the gateway's path
        bool gatewayReachable = true;
    };
    const Row rows[] = {
        {"a classic token", "test-token", {}, {connected, "Connected as Mia Krystof.", ""}, {user}},
        {"the current user failing, a space answering", "test-token",
         {{.kind = Fault::Kind::status, .status = 500, .pathPrefix = "/wiki/rest/"}},
         {connected, "Connected. First visible space: ENG.", ""}, {user, spaces}},
        {"a scoped token", "scoped-token", {},
         {connectedThroughGateway, "Connected through the API gateway (scoped token) as Mia Krystof.", "{gateway}"},
         {user, spaces, tenantInfo, "GET {gateway}/wiki/rest/api/user/current"}},
        {"a token neither takes", "stale", {}, {refused, refusal, ""},
         {user, spaces, tenantInfo, "GET {gateway}/wiki/rest/api/user/current"}},
        {"a cloud id that would be a path", "scoped-token", {tenantAnswer(R"({"cloudId": "../../wiki"})")},
         {refused, refusal, ""}, {user, spaces, tenantInfo}},
        {"no cloud id", "scoped-token", {tenantAnswer(R"({"cloud": {"id": "x"}})")}, {refused, refusal, ""},
         {user, spaces, tenantInfo}},
        {"no tenant_info on a site that is no cloud site", "scoped-token",
         {{.kind = Fault::Kind::status, .status = 404, .pathPrefix = "/_edge/"}}, {refused, refusal, ""},
         {user, spaces, tenantInfo}},
        {"a tenant_info answer beyond its bound", "scoped-token",
         {{.kind = Fault::Kind::gzipBomb, .pathPrefix = "/_edge/", .inflatedBytes = std::size_t{1} << 20}},
         {refused, refusal, ""}, {user, spaces, tenantInfo}},
        {"tenant_info failing decides nothing", "scoped-token",
         {{.kind = Fault::Kind::status, .status = 503, .pathPrefix = "/_edge/"}}, {refused, refusal, std::nullopt},
         {user, spaces, tenantInfo}},
        {"an unreachable gateway decides nothing", "scoped-token", {}, {refused, refusal, std::nullopt},
         {user, spaces, tenantInfo}, false},
        {"a site failing otherwise decides nothing", "test-token",
         {{.kind = Fault::Kind::status, .status = 500, .body = "down", .count = 2}},
         {failed, "Confluence returned HTTP 500. down", std::nullopt}, {user, spaces}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto site = start();
        ASSERT_TRUE(site);
        for (const Fault& fault : row.faults) site->inject(fault);
        const std::string gateway = site->gatewayURL() + gatewayPath(*site);
        // why: a root with a port nothing listens on (the fake's own port answers as the site, not as a gateway)
        const std::string root = row.gatewayReachable ? site->gatewayURL() : "http://127.0.0.1:1";
        ConnectionCheck expected = row.expected;
        if (expected.gatewayBaseURL == "{gateway}") expected.gatewayBaseURL = gateway;
        // A gateway stored before is not what the check asks.
        ConfluenceConfig typed{site->baseURL(), "mia@example.com", row.token, "https://stale.example/ex/confluence/x"};
        EXPECT_EQ(checkConnection(typed, root), expected);
        std::vector<std::string> requests;
        for (std::string line : row.requests) {
            if (const auto at = line.find("{gateway}"); at != std::string::npos) line.replace(at, 9, gatewayPath(*site));
            requests.push_back(line);
        }
        EXPECT_EQ(site->requestLines(), requests);
        for (const auto& request : site->requests())
            EXPECT_EQ(request.authorization.empty(), request.path == "/_edge/tenant_info") << request.line();
    }
}

TEST_P(ClientTest, StoppingAbortsAnInFlightRequestPromptly) {
    auto site = start();
    ASSERT_TRUE(site);
    site->setLatency(std::chrono::seconds(10));
    std::stop_source stop;
    std::jthread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        stop.request_stop();
    });
    auto started = std::chrono::steady_clock::now();
    auto user = clientFor(*site).currentUser(stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ASSERT_FALSE(user);
    EXPECT_EQ(user.error().kind, ConfluenceError::Kind::network);
}

TEST_P(ClientTest, ARateLimitedReadIsSentAgainOnceAfterItsWaitAndAWriteNever) {
    struct Row {
        const char* name;
        Fault fault;  // a 429 answer
        std::function<std::optional<ConfluenceError>(const ConfluenceClient&)> call;
        std::string description;  // empty: the call succeeds
        std::size_t requests;
        RateLimitRetry retry = RateLimitRetry::onceAfterWait;
    };
    auto limited = [](std::string retryAfter, int count = 1, std::string method = "") {
        return Fault{.status = 429, .body = "Slow down", .method = std::move(method), .count = count,
                     .retryAfter = std::move(retryAfter)};
    };
    auto pageRead = [](const ConfluenceClient& c) { return failure(c.page("98306", true)); };
    const std::string standing = "Confluence returned HTTP 429. Slow down";
    const Row rows[] = {
        {"429, then 200", limited("1"), pageRead, "", 2},
        {"a date in the past waits nothing", limited("Sun, 06 Nov 1994 08:49:37 GMT"),
         [](auto& c) { return failure(c.spaces(300)); }, "", 2},
        {"429 again after the wait", limited("0", 2), pageRead, standing + " Confluence asks to wait 0 seconds.", 2},
        {"no Retry-After", limited(""), pageRead, standing, 1},
        {"an unreadable Retry-After counts as none", limited("soon"), pageRead, standing, 1},
        {"a wait beyond ten seconds", limited("11"), pageRead, standing + " Confluence asks to wait 11 seconds.", 1},
        {"a write", limited("0", 1, "PUT"), [](auto& c) { return failure(c.updatePage("98306", "T", "<p/>", 7, {})); },
         standing + " Confluence asks to wait 0 seconds.", 1},
        {"a client told never to wait", limited("0"), pageRead, standing + " Confluence asks to wait 0 seconds.", 1,
         RateLimitRetry::never},
        {"a wait that would end past the client's time", limited("5"),
         [](auto& c) { return failure(ConfluenceClient(c.config(), {.time = std::chrono::seconds(2)}).page("98306", true)); },
         standing + " Confluence asks to wait 5 seconds.", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto site = start();
        ASSERT_TRUE(site);
        site->inject(row.fault);
        const std::optional<ConfluenceError> error = row.call(ConfluenceClient(clientFor(*site).config(), {}, row.retry));
        EXPECT_EQ(error ? describe(*error) : "", row.description);
        EXPECT_EQ(site->requests().size(), row.requests);
    }

    // A request is cut to the client's time left: a slower answer ends it with the time-limit sentence.
    auto slow = start();
    ASSERT_TRUE(slow);
    slow->setLatency(std::chrono::seconds(3));
    const auto late = ConfluenceClient(clientFor(*slow).config(), {.time = std::chrono::milliseconds(500)}).currentUser();
    ASSERT_FALSE(late);
    EXPECT_EQ(describe(late.error()), "Confluence's answers to one call took longer than 500 ms in all, so Folioport stopped.");

    // A stop during the wait ends it at once, as a stopped request.
    auto site = start();
    ASSERT_TRUE(site);
    site->inject(limited("10"));
    std::stop_source stop;
    std::jthread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    const auto user = clientFor(*site).currentUser(stop.get_token());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_FALSE(user);
    EXPECT_EQ(user.error(), ConfluenceError::network("Cancelled"));
    EXPECT_EQ(site->requests().size(), 1u);
}

TEST(RetryAfterTest, DeltaSecondsAndHttpDatesAnythingElseIsNoHeader) {
    using namespace std::chrono;
    const sys_seconds date = sys_days{1994y / November / 6} + 8h + 49min + 37s;  // Sun, 06 Nov 1994 08:49:37 GMT
    const std::string fixdate = "Sun, 06 Nov 1994 08:49:37 GMT";
    const struct {
        std::string value;
        system_clock::time_point now;
        std::optional<seconds> wait;
    } rows[] = {
        {"120", date, 120s},
        {" 5\t", date, 5s},
        {"0", date, 0s},
        {fixdate, date - 7s, 7s},
        {fixdate, date - 6500ms, 7s},  // rounded up, so a retry never comes early
        {fixdate, date + 1h, 0s},
        // Dates beyond the clock's nanoseconds (the year 2262) are still ahead, never wrapped into the past.
        {"Fri, 31 Dec 9999 23:59:59 GMT", date,
         sys_days{9999y / December / 31} + 23h + 59min + 59s - date},
        {"Sat, 12 Apr 2262 00:00:00 GMT", date, sys_days{2262y / April / 12} - date},
        {"", date, std::nullopt},
        {"-1", date, std::nullopt},
        {"1.5", date, std::nullopt},
        {"soon", date, std::nullopt},
        {"99999999999999999999", date, std::nullopt},  // beyond 64 bits
        {std::string(65, '1'), date, std::nullopt},
        {"Sunday, 06-Nov-94 08:49:37 GMT", date, std::nullopt},
        {"Sun, 31 Feb 1994 08:49:37 GMT", date, std::nullopt},
        {"Sun, 06 Nov 1994 24:00:00 GMT", date, std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 UTC", date, std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(retryAfterDelay(row.value, row.now), row.wait) << row.value;
}

TEST(PageLinkTest, LinksOfTheSiteGiveTheirPageIdAndNothingElseDoes) {
    const ConfluenceConfig config{"https://acme.atlassian.net/wiki/", "mia@example.com", "token"};
    const std::string site = "https://acme.atlassian.net/wiki";
    const auto noPage = std::unexpected(ConfluenceError::notAPage());
    auto elsewhere = [](const char* link) {
        return std::unexpected(ConfluenceError::otherSiteLink(link, "https://acme.atlassian.net"));
    };
    const std::pair<std::string, std::expected<std::string, ConfluenceError>> rows[] = {
        // Text without a slash is an id, passed on as it is.
        {"98306", "98306"},
        {" 98306 ", " 98306 "},
        {"Roadmap", "Roadmap"},
        // The forms of a page's address, with and without "/wiki", scheme, query or fragment.
        {site + "/spaces/ENG/pages/98306/Roadmap+for+Q3", "98306"},
        {"  HTTPS://ACME.atlassian.net:443/wiki/spaces/ENG/pages/98306?focusedCommentId=7#comment-7\n", "98306"},
        {"acme.atlassian.net/spaces/ENG/pages/98306", "98306"},
        {"/wiki/spaces/~5b10ac8d/pages/edit-v2/98306?draftShareId=x", "98306"},
        {site + "/pages/viewpage.action?spaceKey=ENG&pageId=98306", "98306"},
        // Tiny links: the id's eight bytes, least significant first, in base64 with "_" and "-", trailing "A"s dropped.
        {site + "/x/AoAB", "98306"},
        {"https://acme.atlassian.net/x/AQ", "1"},
        {site + "/x/776t3g", "3735928559"},
        {site + "/x/AAAAAAE", "4294967296"},
        {site + "/x/FBqZvhw?src=contextnavpagetreemode", "123456789012"},
        {site + "/x/_AozKw", "724765432"},
        {site + "/x/----------8", "18446744073709551615"},
        // Links of the site that name no page fail as no page, unsent.
        {site + "/x/", noPage},
        {site + "/x/AAAA", noPage},
        {site + "/x/----------9", noPage},  // beyond 64 bits
        {site + "/x/Ao+B", noPage},
        {site + "/spaces/ENG/overview", noPage},
        {site + "/spaces/ENG/pages/Roadmap", noPage},
        {site + "/pages/viewpage.action?pageId=", noPage},
        {"98305/../98306", noPage},
        // Dot steps, which a browser resolves before it opens the page, raw, encoded or hidden.
        {site + "/spaces/ENG/pages/98306/../../../../x/AYAB", noPage},
        {site + "/spaces/ENG/pages/98306/%2e%2E/98307", noPage},
        {site + "/spaces/ENG/pages/98306/../98307", noPage},
        {site + "/spaces/ENG/pages/98306/.%2e\\98307", noPage},
        {site + "/spaces/ENG/pages/98306/./Roadmap", noPage},
        {site + "/spaces/ENG/pages/98306/.\t./98307", noPage},
        {site + "/spaces/ENG/pages/98306\\..\\98307", noPage},
        {site + "/spaces/ENG/pages/98306/..%2f98307", "98306"},  // an encoded slash is no step to a browser
        {"javascript:alert(1)//98306", noPage},
        {site + "/spaces/ENG/pages/" + std::string(longestPageLink, '1'), noPage},
        // Another origin is refused, whatever the path says.
        {"https://globex.atlassian.net/wiki/x/AoAB", elsewhere("https://globex.atlassian.net")},
        {"http://acme.atlassian.net/wiki/spaces/ENG/pages/98306", elsewhere("http://acme.atlassian.net")},
        {"https://acme.atlassian.net:8443/wiki/x/AoAB", elsewhere("https://acme.atlassian.net:8443")},
    };
    for (const auto& [pasted, expected] : rows) EXPECT_EQ(pageIdFromLink(pasted, config), expected) << pasted;
    EXPECT_EQ(describe(elsewhere("https://globex.atlassian.net").error()),
              "That link points to https://globex.atlassian.net, but Folioport is set up for "
              "https://acme.atlassian.net; paste a link to a page on that site, or the page's id.");
}

TEST(ClientPooling, OperationsReuseOneTlsConnectionAndShareThePoolAcrossThreads) {
    auto site = startSite(true, siteWithSpaces(600));
    ASSERT_TRUE(site);
    const ConfluenceClient client({site->baseURL(), "mia@example.com", "test-token"});
    ASSERT_EQ(client.spaces(600).value().size(), 600u);  // three batches
    ASSERT_TRUE(client.currentUser());
    EXPECT_EQ(site->tlsHandshakes(), 1);

    constexpr int threads = 6, rounds = 10;
    std::atomic<int> successes = 0;
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&] {
                for (int i = 0; i < rounds; ++i) successes += client.spaces(5).has_value() ? 1 : 0;
            });
    }
    EXPECT_EQ(successes, threads * rounds);
    EXPECT_LE(site->tlsHandshakes(), 1 + threads);
}

TEST(ConfluenceErrorTest, SentencesNotReachedThroughTheSite) {
    auto notes = [](int n) {  // three- and four-byte characters only
        std::string s;
        for (int i = 0; i < n; ++i) s += i % 2 ? "€" : "𝄞";
        return s;
    };
    const std::string http500 = "Confluence returned HTTP 500. ";
    const std::pair<ConfluenceError, std::string> rows[] = {
        {ConfluenceError::http(502, "Bad gateway"), "Confluence returned HTTP 502. Bad gateway"},
        {ConfluenceError::network("Timeout was reached"), "Network error: Timeout was reached"},
        {ConfluenceError::decoding("results[0].id: missing"), "Could not read Confluence's response: results[0].id: missing"},
        {ConfluenceError::badURL(), "The Confluence base URL looks invalid."},
        {ConfluenceError::notAPage(), "That is not a page id or a link to a page, so nothing was sent to Confluence."},
        {ConfluenceError::http(500, std::string(300, 'a')), http500 + std::string(300, 'a')},
        {ConfluenceError::http(500, std::string(301, 'a')), http500 + std::string(300, 'a')},
        {ConfluenceError::http(500, notes(400)), http500 + notes(300)},
    };
    for (const auto& [error, sentence] : rows) EXPECT_EQ(describe(error), sentence);
}

TEST(ClientAddresses, WebAddressesPreferTheServersLinks) {
    ConfluenceClient client({"acme.example/", "mia@example.com", "token"});
    auto page = [](std::optional<Links> links) { return Page{.id = "7", .links = std::move(links)}; };
    const std::string fallback = "https://acme.example/wiki/pages/viewpage.action?pageId=";
    const std::pair<Page, std::string> pages[] = {
        {page(Links{.webui = "/spaces/ENG/pages/7/T"}), "https://acme.example/wiki/spaces/ENG/pages/7/T"},
        {page(Links{.webui = "/x", .base = "https://b.example/wiki"}), "https://b.example/wiki/x"},
        {page(Links{.webui = "https://c.example/p"}), "https://c.example/p"},
        {page(Links{.webui = ""}), fallback + "7"},
        {page(Links{.webui = "javascript:alert(1)"}), fallback + "7"},
        {page(Links{.webui = "http:alert(1)"}), fallback + "7"},
        {page(Links{.webui = "/x", .base = "javascript:alert(1)//"}), "https://acme.example/wiki/x"},
        {page(Links{.webui = "alert(1)", .base = "javascript:"}), fallback + "7"},
        {page(std::nullopt), fallback + "7"},
    };
    for (const auto& [input, expected] : pages) EXPECT_EQ(client.webURL(input), expected);
    const std::pair<SearchResult, std::string> results[] = {
        {{.url = "/spaces/ENG/pages/7"}, "https://acme.example/wiki/spaces/ENG/pages/7"},
        {{.url = "http://d.example/p", .content = SearchContent{.id = "8"}}, "http://d.example/p"},
        {{.content = SearchContent{.id = "8"}}, fallback + "8"},
        {{.url = "javascript:alert(1)", .content = SearchContent{.id = "8"}}, fallback + "8"},
        {{.url = "https://d.example:99999/p"}, "https://acme.example/wiki"},
        {{}, "https://acme.example/wiki"},
    };
    for (const auto& [input, expected] : results) EXPECT_EQ(client.webURL(input), expected);
}

}  // namespace
}  // namespace folioport
