// fake_confluence: a fake Confluence Cloud site on 127.0.0.1, for tests and for trying the program by hand.
//
//   fake_confluence [--port N] [--gateway-port N] [--cert FILE --key FILE] [--log FILE] [--seed FILE.json]
//                   [--serve /PATH=FILE]…
//
//   --port N      port to listen on; 0 (the default) takes any free port
//   --gateway-port N
//                 also stands in for the API gateway on port N (0: any free port): the same API and data
//                 under /ex/confluence/<cloudId>/…, where the scoped token is accepted as well
//   --cert/--key  PEM certificate and private key; with both, the site speaks HTTPS only
//   --log FILE    appends one JSON line per API request:
//                 {"method","path" (as sent, still percent-encoded),"query":[[name,value],…] (decoded, in order),
//                  "line" ("METHOD path?name=value&…", the query decoded, in order),"authorization","body"}
//   --seed FILE   the site's content (default: two spaces ENG and OPS with four pages)
//   --serve /PATH=FILE
//                 answers every request for exactly /PATH with status 200 and the bytes of FILE (read at start;
//                 application/json when FILE ends in .json, else application/octet-stream), ahead of the API;
//                 logged like API requests; may be repeated
//
// The first line on standard output is exactly "listening on <scheme>://127.0.0.1:<port>"; with a gateway,
// the second is "gateway on <scheme>://127.0.0.1:<port>".
// SIGTERM or SIGINT stops the site cleanly (exit status 0). Errors go to standard error with status 2.
//
// Seed format (every member optional except where said):
//   {
//     "credentials": {"email": "mia@example.com", "token": "test-token",   // the one accepted Basic login
//                     "scopedToken": "scoped-token"},                     // refused by the site, taken by the gateway
//     "spaces": [{"key": "ENG" (required), "id": "65537", "name"}],
//     "pages":  [{"title" (required), "space": "ENG" (required), "id", "body" (storage), "version": 3,
//                 "modifiedAt": "2026-12-01T12:00:00.000Z"}],
//     "extraSpaces": 2000, "extraPages": 250   // made-up spaces and pages on top (0 to 100,000 each)
//   }
//   Ids are numeric strings; missing ids are made up above the highest one given.
//
// The API served, as the official documents describe it:
//   GET    /_edge/tenant_info                  (no login needed: {"cloudId": "…"})
//   GET    /wiki/rest/api/user/current
//   GET    /wiki/rest/api/user?accountId=…       (a known account, or 404)
//   GET    /wiki/rest/api/search?cql=…&limit=…   (type, text ~, title, space; ORDER BY; excerpts carry
//                                                 @@@hl@@@…@@@endhl@@@ around hits)
//   GET    /wiki/api/v2/spaces?keys&status&sort&limit&cursor
//   GET    /wiki/api/v2/pages?space-id&sort&status&title&body-format&limit&cursor
//   GET    /wiki/api/v2/pages/{id}?body-format=storage
//   POST   /wiki/api/v2/pages                 (200 with the page as created)
//   PUT    /wiki/api/v2/pages/{id}            (409 unless version.number is the current one plus one; the
//                                              signed-in user is the new version's author)
//   DELETE /wiki/api/v2/pages/{id}[?purge=true]  (204; trash first, purge only a trashed page)
//   Lists page by cursor with "_links.next" = "/wiki/api/v2/…?<original query>&cursor=…" (also sent as a
//   Link header, with rel="base"); limit outside 1…250 is answered 400. A wrong or missing Basic login is
//   answered 401.
//
// Controls (not logged, no login needed):
//   POST   /__fake/fail   {"status": 500, "body": "…", "method": "PUT", "path": "/wiki/api/v2/pages", "count": 1,
//                           "retryAfter": "5"}
//                          (every member optional: status 500, empty body, any method and path, count 1, no
//                          Retry-After header) answers the next `count` requests matching method and path prefix
//                          with that status, body and header instead
//   POST   /__fake/latency {"ms": 3000, "path": "/wiki/api/v2/spaces"}
//                          delays every later answer of the API and the served files (0: none); with "path",
//                          only the answers for exactly that path (query ignored), which the site-wide delay
//                          then no longer touches
//   GET    /__fake/log    the request log as a JSON array;  DELETE /__fake/log clears it
//   GET    /__fake/stats  {"requests", "tlsHandshakes"}

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FakeConfluence.h"

namespace {

using folioport::fake::FakeConfluence;
using folioport::fake::FakeOptions;
using folioport::fake::SiteData;
using folioport::fake::StaticFile;

/// A command-line flag and what its value does.
using Flag = std::pair<std::string_view, std::function<void(std::string)>>;

int fail(const std::string& message) {
    std::cerr << "fake_confluence: " << message << '\n';
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    FakeOptions options;
    std::string port = "0", gatewayPort, certificate, key, seedFile;
    std::vector<std::string> served;  // "/PATH=FILE", in the order given
    auto into = [](std::string& target) { return [&target](std::string value) { target = std::move(value); }; };
    const Flag flags[] = {{"--port", into(port)},
                          {"--gateway-port", into(gatewayPort)},
                          {"--cert", into(certificate)},
                          {"--key", into(key)},
                          {"--log", into(options.logFile)},
                          {"--seed", into(seedFile)},
                          {"--serve", [&](std::string value) { served.push_back(std::move(value)); }}};
    for (int i = 1; i < argc; i += 2) {
        auto flag = std::ranges::find(flags, std::string_view(argv[i]), &Flag::first);
        if (flag == std::end(flags)) return fail("unknown argument " + std::string(argv[i]));
        if (i + 1 >= argc) return fail("missing value after " + std::string(argv[i]));
        flag->second(argv[i + 1]);
    }
    auto portNumber = [](const std::string& text) -> std::optional<int> {
        int number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return number;
    };
    const auto sitePort = portNumber(port);
    if (!sitePort) return fail("--port takes a number");
    options.port = *sitePort;
    if (!gatewayPort.empty()) {
        options.gatewayPort = portNumber(gatewayPort);
        if (!options.gatewayPort) return fail("--gateway-port takes a number");
    }
    if (certificate.empty() != key.empty()) return fail("--cert and --key go together");
    if (!certificate.empty()) options.tls = folioport::fake::TlsFiles{certificate, key};

    SiteData data = SiteData::minimal();
    if (!seedFile.empty()) {
        std::ifstream in(seedFile);
        auto seed = nlohmann::json::parse(in, nullptr, false);
        if (!in.is_open() || seed.is_discarded()) return fail("cannot read the seed " + seedFile);
        auto parsed = SiteData::fromSeed(seed);
        if (!parsed) return fail(parsed.error());
        data = std::move(*parsed);
    }

    std::vector<std::pair<std::string, StaticFile>> files;
    for (const std::string& entry : served) {
        std::size_t equals = entry.find('=');
        if (!entry.starts_with('/') || equals == std::string::npos) return fail("--serve takes /PATH=FILE");
        std::string fileName = entry.substr(equals + 1);
        std::ifstream in(fileName, std::ios::binary);
        if (!in.is_open()) return fail("cannot read the served file " + fileName);
        std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        files.emplace_back(entry.substr(0, equals),
                           StaticFile{200, std::move(body),
                                      fileName.ends_with(".json") ? "application/json" : "application/octet-stream"});
    }

    // why: block the stop signals before any server thread exists, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auto site = FakeConfluence::start(std::move(data), options);
    if (!site) return fail(site.error());
    for (auto& [path, file] : files) (*site)->serve(path, std::move(file));
    std::cout << "listening on " << (*site)->baseURL() << std::endl;
    if (options.gatewayPort) std::cout << "gateway on " << (*site)->gatewayURL() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    site->reset();
    return 0;
}
