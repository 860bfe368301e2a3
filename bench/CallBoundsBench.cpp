// The bounds of one tool call, measured against the fake site (a plain report, not a Google benchmark):
//  1. the longest call a site can force: every answer comes after 55 s and a title lookup pages on without end,
//     so only the call's one deadline (5 minutes) ends it; reports its length and its answer;
//  2. a cancel: a call waits on a site that takes the connection and never answers, the client cancels it,
//     and the time from writing the cancel to the answer of a ping sent behind it is reported, per round.
// Both run through the server's own loop and tool code in this process, with the settings given directly.
#include <arpa/inet.h>
#include <ext/stdio_filebuf.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "FakeConfluence.h"
#include "mcp/JsonRpcLoop.h"
#include "mcp/ToolDispatch.h"

namespace {

using namespace std::chrono;
using namespace folioport;

std::string answerText(const std::expected<std::string, MCPServer::ToolFailure>& outcome) {
    return outcome ? *outcome : "error: " + MCPServer::describe(outcome.error());
}

/// The worst call: get_page by title, whose space lookup and endless title paging each answer after 55 s.
void longestCall() {
    auto site = fake::FakeConfluence::start(fake::SiteData::minimal());
    if (!site) std::abort();
    (*site)->setLatency(seconds(55));
    (*site)->inject({.kind = fake::Fault::Kind::endlessPaging, .pathPrefix = "/wiki/api/v2/pages", .count = 1000});
    const MCPServer::Settings settings{{(*site)->baseURL(), "mia@example.com", "test-token", ""}, "ENG", {}};
    const auto started = steady_clock::now();
    const auto outcome = MCPServer::perform("get_page", {{"title", "Roadmap for Q3"}, {"spaceKey", "ENG"}},
                                            [&] { return settings; });
    std::printf("longest call: get_page by title, every answer after 55 s: %.1f s (%zu requests)\n  %s\n",
                duration<double>(steady_clock::now() - started).count(), (*site)->requests().size(),
                answerText(outcome).c_str());
}

/// A socket on 127.0.0.1 that takes connections and never answers; its port.
int silentSite(int& socketFd) {
    socketFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    if (::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) || ::listen(socketFd, 64) ||
        ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length))
        std::abort();
    return ntohs(address.sin_port);
}

/// Reads one line from `fd`, or nothing within 10 s.
std::string readLine(int fd) {
    std::string line;
    for (char c; line.empty() || line.back() != '\n';) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 10'000) != 1 || ::read(fd, &c, 1) != 1) return line;
        line += c;
    }
    return line;
}

void cancelRounds(int rounds) {
    int silent = -1;
    const int port = silentSite(silent);
    const MCPServer::Settings settings{{"http://127.0.0.1:" + std::to_string(port), "mia@example.com", "t", ""}, "", {}};
    int input[2], output[2];
    if (::pipe(input) || ::pipe(output)) std::abort();
    __gnu_cxx::stdio_filebuf<char> inBuffer(input[0], std::ios::in), outBuffer(output[1], std::ios::out);
    std::istream in(&inBuffer);
    std::ostream out(&outBuffer), log(nullptr);
    const MCPServer::Dependencies dependencies{
        .version = [] { return std::string("bench"); },
        .perform = [&](std::string_view tool, const nlohmann::json& arguments, std::stop_token stop) {
            return MCPServer::perform(tool, arguments, [&] { return settings; },
                                      [] { return system_clock::now(); }, std::move(stop));
        },
    };
    std::thread server([&] { MCPServer::run(in, out, log, dependencies); });
    auto send = [&](const std::string& text) {
        if (::write(input[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    };
    std::vector<double> milliseconds;
    for (int round = 1; round <= rounds; ++round) {
        const std::string id = std::to_string(round);
        send(R"({"id":)" + id + R"(,"method":"tools/call","params":{"name":"list_spaces"}})" "\n");
        std::this_thread::sleep_for(seconds(1));  // the call now waits on the silent site
        const auto cancelled = steady_clock::now();
        send(R"({"method":"notifications/cancelled","params":{"requestId":)" + id + "}}\n" +
             R"({"id":"ping)" + id + R"(","method":"ping"})" "\n");
        const std::string line = readLine(output[0]);
        milliseconds.push_back(duration<double, std::milli>(steady_clock::now() - cancelled).count());
        if (line.find("\"ping" + id + "\"") == std::string::npos) std::printf("  unexpected answer: %s\n", line.c_str());
    }
    ::close(input[1]);
    server.join();
    ::close(silent);
    std::ranges::sort(milliseconds);
    std::printf("cancel of a call waiting on a silent site, to the answer behind it (%d rounds): median %.2f ms, "
                "worst %.2f ms\n",
                rounds, milliseconds[milliseconds.size() / 2], milliseconds.back());
}

}  // namespace

int main() {
    auto longest = std::async(std::launch::async, longestCall);
    cancelRounds(20);
    longest.get();
}
