#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "mcp/Server.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

struct LoopRun {
    int status;
    std::vector<json> responses;
    std::vector<std::string> logLines;
    std::vector<std::pair<std::string, json>> toolCalls;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

using Perform = std::function<std::expected<std::string, ToolFailure>(std::string_view, const json&)>;

Perform unknownTool = [](std::string_view tool, const json&) -> std::expected<std::string, ToolFailure> {
    return std::unexpected(ToolError{"Unknown tool: " + std::string(tool)});
};

LoopRun runLoop(const std::string& input, Perform perform = unknownTool) {
    LoopRun run;
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream log;
    const Dependencies dependencies{
        .version = [] { return std::string("9.8.7"); },
        .perform =
            [&](std::string_view tool, const json& arguments) {
                run.toolCalls.emplace_back(tool, arguments);
                return perform(tool, arguments);
            },
    };
    run.status = MCPServer::run(in, out, log, dependencies);
    for (const auto& line : lines(out.str())) run.responses.push_back(json::parse(line));
    run.logLines = lines(log.str());
    return run;
}

const std::string ready = "[folioport-mcp] ready (Folioport 9.8.7)";
const std::string notice = "[folioport-mcp] ignoring unparsable line";

struct Case {
    std::string name;
    std::string input;
    std::vector<json> responses;
    std::vector<std::string> logLines;
};

std::ostream& operator<<(std::ostream& stream, const Case& row) { return stream << row.name; }

json result(json id, json value) { return json{{"jsonrpc", "2.0"}, {"id", std::move(id)}, {"result", std::move(value)}}; }

json initialized(json id, std::string protocolVersion) {
    return result(std::move(id), json{{"protocolVersion", protocolVersion},
                                      {"capabilities", {{"tools", {{"listChanged", false}}}}},
                                      {"serverInfo", {{"name", "folioport"}, {"version", "9.8.7"}}}});
}

json methodNotFound(json id, const std::string& message) {
    return json{{"jsonrpc", "2.0"}, {"id", std::move(id)}, {"error", {{"code", -32601}, {"message", message}}}};
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

class LoopCases : public ::testing::TestWithParam<Case> {};

TEST_P(LoopCases, AnswersAndLogsExactly) {
    const auto& row = GetParam();
    const auto run = runLoop(row.input);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.responses, row.responses);
    auto expectedLog = row.logLines;
    expectedLog.insert(expectedLog.begin(), ready);
    EXPECT_EQ(run.logLines, expectedLog);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LoopCases,
    ::testing::Values(
        Case{"EmptyInput", "", {}, {}},
        Case{"BlankLinesAreSilent", "\n   \t \n\r\n\xC2\xA0\xE3\x80\x80\n", {}, {}},
        Case{"InvalidJson", "{\"id\": 1, \"method\": \"ping\"\n", {}, {notice}},
        Case{"BatchArrayIsNotAnswered", R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])" "\n", {}, {notice}},
        Case{"BareString", "\"ping\"\n", {}, {notice}},
        Case{"BareNumber", "42\n", {}, {notice}},
        Case{"BinaryGarbage", std::string("\x00\xff\xfe{\x01\x02\"", 7) + "\n", {}, {notice}},
        Case{"CommentsAreNotJson", "{\"id\":1,\"method\":\"ping\"} // hi\n", {}, {notice}},
        Case{"DeepNestingIsRefused", nested(200000) + "\n", {}, {notice}},
        Case{"DeepNestingInsideAMessage", "{\"id\":1,\"method\":\"ping\",\"params\":{\"a\":" + nested(100000) + "}}\n",
             {}, {notice}},
        Case{"ModerateNestingIsFine", "{\"id\":1,\"method\":\"ping\",\"params\":{\"a\":" + nested(100) + "}}\n",
             {result(1, json::object())}, {}},
        Case{"LoopGoesOnAfterBadLines", "nope\n[1]\n{\"id\":2,\"method\":\"ping\"}\n", {result(2, json::object())},
             {notice, notice}},
        Case{"CrLfAndSurroundingSpace", "  {\"id\":1,\"method\":\"ping\"}\t\r\n", {result(1, json::object())}, {}},
        Case{"UnicodeSpaceAroundMessage", "\xC2\xA0{\"id\":1,\"method\":\"ping\"}\xE2\x80\xA8\n",
             {result(1, json::object())}, {}},
        Case{"LastLineWithoutLineFeed", "{\"id\":1,\"method\":\"ping\"}\n{\"id\":2,\"method\":\"ping\"}",
             {result(1, json::object()), result(2, json::object())}, {}},
        Case{"PingIdsComeBackUnchanged",
             R"({"id":7,"method":"ping"})" "\n" R"({"id":"abc","method":"ping"})" "\n"
             R"({"id":1.5,"method":"ping"})" "\n" R"({"id":{"k":[1]},"method":"ping"})" "\n"
             R"({"id":-9007199254740993,"method":"ping"})" "\n",
             {result(7, json::object()), result("abc", json::object()), result(1.5, json::object()),
              result(json{{"k", {1}}}, json::object()), result(-9007199254740993LL, json::object())},
             {}},
        Case{"InitializeNegotiatesTheProtocol",
             R"({"id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26"}})" "\n"
             R"({"id":2,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})" "\n"
             R"({"id":3,"method":"initialize","params":{"protocolVersion":"2024-11-05"}})" "\n"
             R"({"id":4,"method":"initialize","params":{"protocolVersion":"2031-01-01"}})" "\n"
             R"({"id":5,"method":"initialize","params":{"protocolVersion":20250326}})" "\n"
             R"({"id":6,"method":"initialize"})" "\n"
             R"({"id":7,"method":"initialize","params":"2025-03-26"})" "\n",
             {initialized(1, "2025-03-26"), initialized(2, "2025-06-18"), initialized(3, "2024-11-05"),
              initialized(4, "2024-11-05"), initialized(5, "2024-11-05"), initialized(6, "2024-11-05"),
              initialized(7, "2024-11-05")},
             {}},
        Case{"UnknownMethods",
             R"({"id":3,"method":"resources/list"})" "\n" R"({"id":4})" "\n" R"({"id":5,"method":7})" "\n"
             R"({"id":6,"method":"Ping"})" "\n",
             {methodNotFound(3, "Method not found: resources/list"), methodNotFound(4, "Method not found: "),
              methodNotFound(5, "Method not found: "), methodNotFound(6, "Method not found: Ping")},
             {}},
        Case{"NotificationsAreNeverAnswered",
             R"({"jsonrpc":"2.0","method":"notifications/initialized"})" "\n"
             R"({"method":"notifications/cancelled","params":{"requestId":1}})" "\n"
             R"({"id":null,"method":"ping"})" "\n" R"({"id":null,"method":"resources/list"})" "\n"
             R"({"method":"initialize"})" "\n",
             {}, {}}),
    [](const auto& testInfo) { return testInfo.param.name; });

json toolResult(json id, const std::string& text, bool isError) {
    json value{{"content", json::array({{{"type", "text"}, {"text", text}}})}};
    if (isError) value["isError"] = true;
    return result(std::move(id), std::move(value));
}

TEST(ToolCalls, NameAndArgumentsDefaultToEmpty) {
    const auto run = runLoop(R"({"id":1,"method":"tools/call"})" "\n"
                             R"({"id":2,"method":"tools/call","params":{"name":5,"arguments":[1]}})" "\n"
                             R"({"id":3,"method":"tools/call","params":{"name":"get_page","arguments":{"pageId":"9"}}})" "\n");
    const std::vector<std::pair<std::string, json>> expectedCalls{
        {"", json::object()}, {"", json::object()}, {"get_page", {{"pageId", "9"}}}};
    EXPECT_EQ(run.toolCalls, expectedCalls);
    EXPECT_EQ(run.responses, (std::vector<json>{toolResult(1, "Unknown tool: ", true), toolResult(2, "Unknown tool: ", true),
                                                toolResult(3, "Unknown tool: get_page", true)}));
}

TEST(ToolCalls, SuccessCarriesTheTextWithoutIsError) {
    const auto run = runLoop(R"({"id":"x","method":"tools/call","params":{"name":"list_spaces"}})" "\n",
                             [](std::string_view, const json&) -> std::expected<std::string, ToolFailure> {
                                 return "2 spaces";
                             });
    EXPECT_EQ(run.responses, std::vector<json>{toolResult("x", "2 spaces", false)});
}

TEST(ToolCalls, InvalidUtf8InAnAnswerIsReplacedSoTheRequestStillGetsItsLine) {
    const auto run = runLoop(R"({"id":1,"method":"tools/call","params":{"name":"get_page"}})" "\n"
                             R"({"id":2,"method":"ping"})" "\n",
                             [](std::string_view, const json&) -> std::expected<std::string, ToolFailure> {
                                 return std::string("caf\xC3 body \xFF");
                             });
    EXPECT_EQ(run.responses, (std::vector<json>{toolResult(1, "caf\xEF\xBF\xBD body \xEF\xBF\xBD", false),
                                                result(2, json::object())}));
}

TEST(ToolCalls, InvalidUtf8InTheRequestIsReadAsReplacementCharacters) {
    const auto run = runLoop("{\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"x\xFFy\"}}\n");
    ASSERT_EQ(run.toolCalls.size(), 1u);
    EXPECT_EQ(run.toolCalls[0].first, "x\xEF\xBF\xBDy");
    EXPECT_EQ(run.responses, std::vector<json>{toolResult(1, "Unknown tool: x\xEF\xBF\xBDy", true)});
}

TEST(ToolCalls, AThrowingToolStillAnswersAndTheLoopGoesOn) {
    const auto run = runLoop(R"({"id":1,"method":"tools/call","params":{"name":"x"}})" "\n"
                             R"({"id":2,"method":"ping"})" "\n",
                             [](std::string_view, const json&) -> std::expected<std::string, ToolFailure> {
                                 throw std::runtime_error("boom");
                             });
    EXPECT_EQ(run.responses, (std::vector<json>{toolResult(1, "boom", true), result(2, json::object())}));
}

TEST(Lines, TenMegabyteLineIsAnswered) {
    const std::string big(10 * 1024 * 1024, 'a');
    const auto run = runLoop(R"({"id":1,"method":"ping","params":{"blob":")" + big + "\"}}\n" + big + "\n");
    EXPECT_EQ(run.responses, std::vector<json>{result(1, json::object())});
    EXPECT_EQ(run.logLines, (std::vector<std::string>{ready, notice}));
}

}  // namespace
}  // namespace folioport::MCPServer
