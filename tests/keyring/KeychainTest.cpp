// Runs inside with-keyring.sh: a private session bus with an unlocked gnome-keyring.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <libsecret/secret.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <expected>
#include <fstream>

#include "Harness.h"
#include "KeyringControl.h"
#include "platform/Keychain.h"

namespace folioport::platform {
namespace {

const SecretSchema anySchema = {
    "any", SECRET_SCHEMA_DONT_MATCH_NAME,
    {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
    0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

/// How many items the keyring holds for the account, counted independently of Keychain.
std::size_t itemCount(const char* account) {
    GList* items = secret_password_search_sync(&anySchema, SECRET_SEARCH_ALL, nullptr, nullptr, "service",
                                               "com.tessaly.folioport", "account", account, nullptr);
    const std::size_t count = g_list_length(items);
    g_list_free_full(items, g_object_unref);
    return count;
}

TEST(Keychain, StoresReadsReplacesAndDeletes) {
    EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
    Keychain::set("first-token", "apiToken");
    EXPECT_EQ(Keychain::get("apiToken"), "first-token");
    Keychain::set("second token ✓", "apiToken");
    Keychain::set("second token ✓", "apiToken");
    EXPECT_EQ(Keychain::get("apiToken"), "second token ✓");
    EXPECT_EQ(itemCount("apiToken"), 1u);

    Keychain::set("other", "anotherAccount");
    Keychain::set("", "apiToken");
    EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
    EXPECT_EQ(itemCount("apiToken"), 0u);
    EXPECT_EQ(Keychain::get("anotherAccount"), "other");

    const char bytes[] = "\xff\xfe token";  // stored by someone else, not UTF-8
    ASSERT_TRUE(secret_password_store_binary_sync(
        &anySchema, SECRET_COLLECTION_DEFAULT, "foreign", secret_value_new(bytes, sizeof(bytes) - 1, "text/plain"),
        nullptr, nullptr, "service", "com.tessaly.folioport", "account", "binary", nullptr));
    EXPECT_EQ(Keychain::get("binary"), std::nullopt);
}

TEST(Keychain, ARunningServerReadsATokenSavedByAnotherProcessAtItsNextCall) {
    const auto folder = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "com.tessaly.folioport";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "preferences.json") << R"({"baseURL":"http://127.0.0.1:9","email":"a@acme.example"})";
    testing::ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"});
    const std::string call = R"({"id":1,"method":"tools/call","params":{"name":"no_such_tool"}})" "\n";
    const std::string answer = R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":")";
    server.write(call);
    EXPECT_EQ(server.readLine(), answer + R"(Confluence is not configured. Open Settings and enter your site, email and API token.","type":"text"}],"isError":true}})");
    Keychain::set("saved-by-the-app", "apiToken");
    server.write(call);
    EXPECT_EQ(server.readLine(), answer + R"(Unknown tool: no_such_tool","type":"text"}],"isError":true}})");
    EXPECT_EQ(server.finish().exitStatus, 0);
}

TEST(Keychain, ACancelOrTheInputsEndStopsACallOnASilentSitePromptly) {
    // A site that takes the connection and never answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 16), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const auto folder = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "com.tessaly.folioport";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "preferences.json")
        << R"({"baseURL":"http://127.0.0.1:)" << ntohs(address.sin_port) << R"(","email":"a@acme.example"})";
    ASSERT_TRUE(Keychain::set("token", "apiToken"));

    auto call = [](int id) {
        return R"({"id":)" + std::to_string(id) + R"(,"method":"tools/call","params":{"name":"list_spaces"}})" "\n";
    };
    auto cancel = [](const std::string& id) {
        return R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":)" + id + R"(,"reason":"x"}})" "\n";
    };
    const std::string cancelled = R"(,"jsonrpc":"2.0","result":{"content":[{"text":"Network error: Cancelled","type":"text"}],"isError":true}})";
    const struct {
        const char* name;
        std::string input;  // written once the first call waits on the site
        std::vector<std::string> answers;  // read before the input is closed
        std::string rest;  // what comes after the input is closed
    } rows[] = {
        // A cancel of the running call ends it unanswered, and the lines behind it keep their order.
        {"a cancel of the running call", cancel("1") + R"({"id":2,"method":"ping"})" "\n",
         {R"({"id":2,"jsonrpc":"2.0","result":{}})"}, ""},
        {"a cancel of a waiting call, then of the running one",
         call(2) + R"({"id":3,"method":"ping"})" "\n" + cancel("2") + cancel("\"x\"") + cancel("1"),
         {R"({"id":3,"jsonrpc":"2.0","result":{}})"}, ""},
        // Closing the input ends the running call and every waiting one at once, each still answered.
        {"closing the input", call(2), {}, R"({"id":1)" + cancelled + "\n" + R"({"id":2)" + cancelled + "\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"});
        server.write(call(1));
        EXPECT_EQ(server.readLine(std::chrono::milliseconds(500)), std::nullopt) << "the site never answers";
        const auto asked = std::chrono::steady_clock::now();
        server.write(row.input);
        for (const std::string& answer : row.answers) EXPECT_EQ(server.readLine(), answer);
        const auto ended = server.finish();
        // A second of its own; the bound leaves room for a sanitizer's leak scan at exit, far below the
        // site's 60-second request timeout that ended it before.
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
        EXPECT_EQ(ended.exitStatus, 0);
        EXPECT_EQ(ended.output, row.rest);
    }
    ::close(silent);
}

TEST(Keychain, ALockedKeyringIsToldApartFromNoTokenSaidOnceOnStandardErrorAndUnlocksByEvent) {
    const auto folder = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "com.tessaly.folioport";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "preferences.json") << R"({"baseURL":"http://127.0.0.1:9","email":"a@acme.example"})";
    ASSERT_TRUE(Keychain::set("locked-away", "apiToken"));
    ASSERT_TRUE(testing::lockKeyring());
    EXPECT_EQ(Keychain::lookup("apiToken"), std::unexpected(Keychain::Unreadable::locked));
    const auto nothingStored = Keychain::lookup("neverStored");
    ASSERT_TRUE(nothingStored.has_value()) << "no token is not a locked one";
    EXPECT_EQ(*nothingStored, std::nullopt);

    const std::string call = R"({"id":1,"method":"tools/call","params":{"name":"list_spaces"}})" "\n";
    const auto ended = testing::runToEnd({FOLIOPORT_EXECUTABLE, "--mcp"}, call + call);
    EXPECT_NE(ended.output.find("Confluence is not configured."), std::string::npos);
    const std::string said = "[folioport-mcp] ready (Folioport 1.0.1)\n"
                             "[folioport-mcp] could not read the API token: the keyring is locked\n";
    EXPECT_EQ(ended.error.substr(0, said.size()), said);  // under the sanitizers their summary follows
    EXPECT_EQ(ended.error.find("[folioport-mcp]", said.size()), std::string::npos) << "said only once";

    // The keyring takes the request and prompts by itself (here no one answers its prompt).
    EXPECT_TRUE(Keychain::requestUnlock("apiToken"));
    ASSERT_TRUE(testing::unlockKeyring());
    EXPECT_EQ(Keychain::get("apiToken"), "locked-away");
}

}  // namespace
}  // namespace folioport::platform
