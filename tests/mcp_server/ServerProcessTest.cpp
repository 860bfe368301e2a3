#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "TemporaryDirectory.h"

namespace folioport::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

const std::string readyLine = "[folioport-mcp] ready (Folioport 1.0.1)\n";
const std::string notConfigured =
    R"({"content":[{"text":"Confluence is not configured. Open Settings and enter your site, email and API token.","type":"text"}],"isError":true})";

/// A private home with no preferences, and a session bus address where nothing listens.
class ServerProcess : public ::testing::Test {
protected:
    std::map<std::string, std::optional<std::string>> environment() const {
        return {
            {"HOME", home.path().string()},
            {"XDG_CONFIG_HOME", (home.path() / "config").string()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path() / "no-bus").string()},
        };
    }
    void writePreferences(const json& values) const {
        std::filesystem::create_directories(home.path() / "config" / "com.tessaly.folioport");
        std::ofstream(home.path() / "config" / "com.tessaly.folioport" / "preferences.json") << values.dump();
    }

    TemporaryDirectory home;
};

TEST_F(ServerProcess, EmptyInputEndsAtOnceAfterTheReadyLine) {
    const auto ended = runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"}, "", environment());
    EXPECT_EQ(ended.exitStatus, 0);
    EXPECT_EQ(ended.output, "");
    EXPECT_EQ(ended.error, readyLine);
}

TEST_F(ServerProcess, EachAnswerArrivesBeforeTheNextLineIsSent) {
    ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"}, environment());
    server.write(R"({"jsonrpc":"2.0","id":1,"method":"ping"})" "\n");
    EXPECT_EQ(server.readLine(), R"({"id":1,"jsonrpc":"2.0","result":{}})");
    server.write("garbage\n" R"({"id":2,"method":"nope"})" "\n");
    EXPECT_EQ(server.readLine(), R"({"error":{"code":-32601,"message":"Method not found: nope"},"id":2,"jsonrpc":"2.0"})");
    const auto ended = server.finish();
    EXPECT_EQ(ended.exitStatus, 0);
    EXPECT_EQ(ended.output, "");
    EXPECT_EQ(ended.error, readyLine + "[folioport-mcp] ignoring unparsable line\n");
}

TEST_F(ServerProcess, ToolsListMatchesTheGoldenFileByteForByte) {
    std::ifstream golden(TOOLS_LIST_GOLDEN, std::ios::binary);
    std::stringstream expected;
    expected << golden.rdbuf();
    const auto ended = runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"}, R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})" "\n",
                                environment());
    EXPECT_EQ(ended.output, expected.str());
}

TEST_F(ServerProcess, WithoutAKeyringEveryToolCallIsNotConfiguredQuickly) {
    writePreferences({{"baseURL", "https://acme.example"}, {"email", "a@acme.example"}, {"spaceKey", "ENG"}});
    const auto started = std::chrono::steady_clock::now();
    const auto ended = runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"},
                                R"({"id":1,"method":"tools/call","params":{"name":"list_spaces"}})" "\n"
                                R"({"id":2,"method":"tools/call"})" "\n",
                                environment());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(ended.output, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":" + notConfigured + "}\n" +
                                "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":" + notConfigured + "}\n");
}

TEST_F(ServerProcess, AKeyringThatNeverAnswersIsGivenUpAfterABound) {
    // A socket that is listened on but never accepted: the bus handshake would wait forever.
    const auto socketPath = home.path() / "silent-bus";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    auto environmentWithSilentBus = environment();
    environmentWithSilentBus["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socketPath.string();
    writePreferences({{"baseURL", "acme.example"}, {"email", "a@acme.example"}});

    const auto started = std::chrono::steady_clock::now();
    ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"}, environmentWithSilentBus);
    server.write(R"({"id":1,"method":"tools/call","params":{"name":"list_spaces"}})" "\n");
    EXPECT_EQ(server.readLine(10s), "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":" + notConfigured + "}");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
    EXPECT_EQ(server.finish().exitStatus, 0);
    ::close(listener);
}

}  // namespace
}  // namespace folioport::testing
