#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "FakeConfluence.h"
#include "TestCertificate.h"
#include "platform/HttpTransport.h"

namespace folioport::platform {
namespace {

/// A bare server on 127.0.0.1 that tests give their own handlers.
struct LoopbackServer {
    httplib::Server server;
    int port = 0;
    std::thread thread;

    explicit LoopbackServer(const char* path, httplib::Server::Handler handler) {
        server.Get(path, std::move(handler));
        server.set_keep_alive_max_count(1);
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() {
        server.stop();
        thread.join();
    }
};

TEST(HttpTransportTest, RedirectsNeverCarryCredentialsToAnotherHost) {
    std::string seenAuthorization = "unset", seenAgent;
    LoopbackServer target("/landing", [&](const httplib::Request& request, httplib::Response& response) {
        seenAuthorization = request.get_header_value("Authorization");
        seenAgent = request.get_header_value("User-Agent");
        response.set_content("{}", "application/json");
    });
    LoopbackServer origin("/start", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("http://localhost:" + std::to_string(target.port) + "/landing");
    });
    auto answer = HttpTransport::send({.url = "http://127.0.0.1:" + std::to_string(origin.port) + "/start",
                                       .headers = {{"Authorization", "Basic c2VjcmV0"}}});
    ASSERT_TRUE(answer) << answer.error().message;
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(seenAuthorization, "");
    EXPECT_TRUE(seenAgent.starts_with("Folioport")) << seenAgent;
}

TEST(HttpTransportTest, UntrustedCertificatesAreRefused) {
    HttpTransport::configure({});
    const auto& certificate = testing::testCertificate();
    auto site = fake::FakeConfluence::start(fake::SiteData::minimal(),
                                            {.tls = fake::TlsFiles{certificate.certificateFile, certificate.privateKeyFile}});
    ASSERT_TRUE(site);
    auto answer = HttpTransport::send({.url = (*site)->baseURL() + "/wiki/rest/api/user/current"});
    ASSERT_FALSE(answer);
    EXPECT_EQ(answer.error().kind, HttpFailure::Kind::transport);
    EXPECT_TRUE((*site)->requests().empty());
}

TEST(HttpTransportTest, ARequestGivesUpAtItsTimeout) {
    auto site = fake::FakeConfluence::start();
    ASSERT_TRUE(site);
    (*site)->setLatency(std::chrono::seconds(5));
    auto started = std::chrono::steady_clock::now();
    auto answer = HttpTransport::send(
        {.url = (*site)->baseURL() + "/wiki/rest/api/user/current", .timeout = std::chrono::milliseconds(200)});
    ASSERT_FALSE(answer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST(HttpTransportTest, OnlyHttpAddressesAreAccepted) {
    for (const char* url : {"ftp://127.0.0.1/x", "not a url", "https://exa mple.com/"})
        EXPECT_EQ(HttpTransport::send({.url = url}).error().kind, HttpFailure::Kind::badURL) << url;
}

}  // namespace
}  // namespace folioport::platform
