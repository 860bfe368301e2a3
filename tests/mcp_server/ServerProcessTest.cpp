// `Folioport --mcp` driven over pipes: exact answers, silence where silence is due, exit status.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <fstream>
#include <sstream>

#include "Harness.h"

namespace folioport::testing {
namespace {

const std::string ready = "[folioport-mcp] ready (Folioport 1.0.1)\n";
const std::string notice = "[folioport-mcp] ignoring unparsable line\n";
const std::string notConfigured =
    R"({"content":[{"text":"Confluence is not configured. Open Settings and enter your site, email and API token.","type":"text"}],"isError":true})";

std::string ping(const std::string& id) { return R"({"id":)" + id + R"(,"method":"ping"})"; }
std::string pong(const std::string& id) { return R"({"id":)" + id + R"(,"jsonrpc":"2.0","result":{}})" "\n"; }
std::string initialize(int id, const std::string& params) {
    return "{\"id\":" + std::to_string(id) + ",\"method\":\"initialize\"" + params + "}\n";
}
std::string initialized(int id, const std::string& version) {
    return "{\"id\":" + std::to_string(id) +
           R"(,"jsonrpc":"2.0","result":{"capabilities":{"tools":{"listChanged":false}},"protocolVersion":")" + version +
           R"(","serverInfo":{"name":"folioport","version":"1.0.1"}}})" "\n";
}
std::string notFound(int id, const std::string& method) {
    return R"({"error":{"code":-32601,"message":"Method not found: )" + method + "\"},\"id\":" + std::to_string(id) +
           ",\"jsonrpc\":\"2.0\"}\n";
}
std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

/// A private home with no preferences, and a session bus address where nothing listens.
class Server : public ::testing::Test {
protected:
    std::map<std::string, std::string> environment(const std::string& bus = "no-bus") const {
        return {{"HOME", home.path}, {"XDG_CONFIG_HOME", home.path / "config"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path / bus).string()}};
    }
    TemporaryDirectory home;
};

TEST_F(Server, AnswersEveryKindOfLineExactly) {
    const std::string big(10 << 20, 'a');
    const std::string callWithoutId = "[folioport-mcp] ignoring a tools/call without an id\n";
    const struct {
        const char* name;
        std::string input, output;
        int notices;
        std::string otherLog = {};
    } cases[] = {
        {"empty input", "", "", 0},
        {"blank lines are silent", "\n   \t \n\r\n\xC2\xA0\xE3\x80\x80\n", "", 0},
        {"bad input of every kind is noticed and the loop goes on",
         "{\"id\": 1, \"method\": \"ping\"\n" R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])" "\n\"ping\"\n42\n" +
             std::string("\x00\xff\xfe{\x01\x02\"\n", 8) + ping("1") + " // hi\n" + nested(200000) + "\n" +
             R"({"id":1,"method":"ping","params":{"a":)" + nested(100000) + "}}\n" + big + "\n" + ping("2") + "\n",
         pong("2"), 9},
        {"CRLF, blanks around, moderate nesting, a 10 MB message, a last line without line feed",
         "  " + ping("1") + "\t\r\n\xC2\xA0" + ping("2") + "\xE2\x80\xA8\n" + R"({"id":3,"method":"ping","params":{"a":)" +
             nested(100) + "}}\n" + R"({"id":4,"method":"ping","params":{"blob":")" + big + "\"}}\n" + ping("5"),
         pong("1") + pong("2") + pong("3") + pong("4") + pong("5"), 0},
        {"ids come back unchanged, also those a double cannot hold",
         ping("7") + "\n" + ping("\"abc\"") + "\n" + ping("1.5") + "\n" + ping(R"({"k":[1]})") + "\n" +
             ping("-9007199254740993") + "\n" + ping("123456789012345678901234567890") + "\n" +
             R"({"id":1,"id":2.50,"method":"ping"})" "\n" + ping("-1e400") + "\n" +
             R"({"id":3,"method":"ping","params":{"x":[1e400,-2E999],"y":1e400}})" "\n",
         pong("7") + pong("\"abc\"") + pong("1.5") + pong(R"({"k":[1]})") + pong("-9007199254740993") +
             pong("123456789012345678901234567890") + pong("2.50") + pong("-1e400") + pong("3"),
         0},
        {"initialize negotiates the protocol version",
         initialize(1, R"(,"params":{"protocolVersion":"2025-03-26"})") +
             initialize(2, R"(,"params":{"protocolVersion":"2025-06-18"})") +
             initialize(3, R"(,"params":{"protocolVersion":"2024-11-05"})") +
             initialize(4, R"(,"params":{"protocolVersion":"2031-01-01"})") +
             initialize(5, R"(,"params":{"protocolVersion":20250326})") + initialize(6, "") +
             initialize(7, R"(,"params":"2025-03-26")"),
         initialized(1, "2025-03-26") + initialized(2, "2025-06-18") + initialized(3, "2024-11-05") +
             initialized(4, "2024-11-05") + initialized(5, "2024-11-05") + initialized(6, "2024-11-05") +
             initialized(7, "2024-11-05"),
         0},
        {"unknown methods",
         R"({"id":3,"method":"resources/list"})" "\n" R"({"id":4})" "\n" R"({"id":5,"method":7})" "\n"
         R"({"id":6,"method":"Ping"})" "\n",
         notFound(3, "resources/list") + notFound(4, "") + notFound(5, "") + notFound(6, "Ping"), 0},
        {"notifications are never answered",
         R"({"jsonrpc":"2.0","method":"notifications/initialized"})" "\n"
         R"({"method":"notifications/cancelled","params":{"requestId":1}})" "\n"
         R"({"id":null,"method":"ping"})" "\n" R"({"id":null,"method":"resources/list"})" "\n" R"({"method":"initialize"})" "\n"
         R"({"method":"tools/call","params":{"name":"delete_page","arguments":{"pageId":"98306"}}})" "\n"
         R"({"id":null,"method":"tools/call","params":{"name":"list_spaces"}})" "\n",
         "", 0, callWithoutId + callWithoutId},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto ended = runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"}, row.input, environment());
        EXPECT_EQ(ended.exitStatus, 0);
        EXPECT_EQ(ended.output, row.output);
        std::string log = ready;
        for (int n = 0; n < row.notices; ++n) log += notice;
        EXPECT_EQ(ended.error, log + row.otherLog);
    }
}

TEST_F(Server, AnswersKeepFlowingWhileNoOneReadsStandardError) {
    ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"}, environment(), /*unreadError=*/true);
    std::string lines;
    for (int n = 0; n < 5000; ++n) lines += "not json\n";
    server.write(lines + ping("1") + "\n");
    EXPECT_EQ(server.readLine(), pong("1").substr(0, pong("1").size() - 1));
    EXPECT_EQ(server.finish().exitStatus, 0);
}

TEST_F(Server, APreferencesFileThatIsNoRegularFileIsSkippedWithOneLine) {
    const auto folder = home.path / "config" / "com.tessaly.folioport";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::mkfifo((folder / "preferences.json").c_str(), 0600), 0);  // no writer: a blocking open waits for ever
    ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"}, environment());
    server.write(R"({"id":1,"method":"tools/call","params":{"name":"list_spaces"}})" "\n");
    EXPECT_EQ(server.readLine(5s), "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":" + notConfigured + "}");
    const auto ended = server.finish();
    EXPECT_EQ(ended.exitStatus, 0);
    EXPECT_EQ(ended.error, ready + "[folioport-mcp] " + (folder / "preferences.json").string() +
                               " is not a regular file, so it was not read\n"
                               "[folioport-mcp] could not read the API token: no D-Bus session bus could be reached\n");
}

TEST_F(Server, ToolsListMatchesTheGoldenFileByteForByte) {
    std::stringstream golden;
    golden << std::ifstream(TOOLS_LIST_GOLDEN, std::ios::binary).rdbuf();
    EXPECT_EQ(runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"}, R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})" "\n",
                       environment()).output,
              golden.str());
}

TEST_F(Server, WithoutAReachableKeyringAToolCallIsNotConfiguredWithinABound) {
    std::filesystem::create_directories(home.path / "config" / "com.tessaly.folioport");
    std::ofstream(home.path / "config" / "com.tessaly.folioport" / "preferences.json")
        << R"({"baseURL":"acme.example","email":"a@acme.example","spaceKey":"ENG"})";
    // A socket listened on but never accepted: the bus handshake alone would wait forever.
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    (home.path / "silent-bus").string().copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    const struct {
        const char* bus;
        seconds bound;
        std::string reason;
    } rows[] = {
        {"no-bus", 2s, "no D-Bus session bus could be reached"},
        {"silent-bus", 6s, "the keyring did not answer in time"},  // each call waits its own bound
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bus);
        const auto started = steady_clock::now();
        ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"}, environment(row.bus));
        for (int call = 0; call < 2; ++call) {
            server.write(R"({"id":1,"method":"tools/call","params":{"name":"list_spaces"}})" "\n");
            EXPECT_EQ(server.readLine(), "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":" + notConfigured + "}");
        }
        EXPECT_LT(steady_clock::now() - started, row.bound);
        const auto ended = server.finish();
        EXPECT_EQ(ended.exitStatus, 0);
        // Why the token is missing, said once however many calls find it so.
        EXPECT_EQ(ended.error, ready + "[folioport-mcp] could not read the API token: " + row.reason + "\n");
    }
    ::close(silent);
}

}  // namespace
}  // namespace folioport::testing
