// The loop in-process, with stand-in tools: what reaches a tool and how its answer is sent.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <stdexcept>

#include "mcp/JsonRpcLoop.h"
#include "mcp/ToolCatalogue.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

std::string toolResult(const std::string& id, const std::string& text, bool isError) {
    return "{\"id\":" + id + R"(,"jsonrpc":"2.0","result":{"content":[{"text":")" + text + R"(","type":"text"}])" +
           (isError ? R"(,"isError":true)" : "") + "}}\n";
}

TEST(ToolCalls, ArgumentsReachTheToolAndEveryRequestGetsItsLine) {
    std::istringstream in(R"({"id":1,"method":"tools/call"})" "\n"
                          R"({"id":2,"method":"tools/call","params":{"name":5,"arguments":[1]}})" "\n"
                          R"({"id":3,"method":"tools/call","params":{"name":"get_page","arguments":{"pageId":"9"}}})" "\n"
                          "{\"id\":4,\"method\":\"tools/call\",\"params\":{\"name\":\"x\xFFy\"}}\n"
                          R"({"id":"x","method":"tools/call","params":{"name":"fine"}})" "\n"
                          R"({"id":5,"method":"tools/call","params":{"name":"bad_utf8"}})" "\n"
                          R"({"id":6,"method":"tools/call","params":{"name":"throws"}})" "\n"
                          R"({"id":7,"method":"ping"})" "\n"
                          R"({"id":8,"method":"tools/call","params":{"name":"a\ud83d b\ude00 \ud83d\ude00 \\ud83d"}})" "\n");
    std::ostringstream out, log;
    std::vector<std::pair<std::string, json>> calls;
    const Dependencies dependencies{
        .version = [] { return std::string("9"); },
        .perform = [&](std::string_view tool, const json& arguments, std::stop_token) -> std::expected<std::string, ToolFailure> {
            calls.emplace_back(tool, arguments);
            if (tool == "fine") return "2 spaces";
            if (tool == "bad_utf8") return std::string("caf\xC3 body \xFF");
            if (tool == "throws") throw std::runtime_error("boom");
            return std::unexpected(ToolError::unknownTool(std::string(tool)));
        },
    };
    EXPECT_EQ(MCPServer::run(in, out, log, dependencies), 0);
    // Invalid UTF-8 either way, and lone surrogate escapes, become U+FFFD: a response that cannot be serialised would leave the client waiting.
    EXPECT_EQ(out.str(), toolResult("1", "Unknown tool: ", true) + toolResult("2", "Unknown tool: ", true) +
                             toolResult("3", "Unknown tool: get_page", true) +
                             toolResult("4", "Unknown tool: x\xEF\xBF\xBDy", true) + toolResult("\"x\"", "2 spaces", false) +
                             toolResult("5", "caf\xEF\xBF\xBD body \xEF\xBF\xBD", false) + toolResult("6", "boom", true) +
                             R"({"id":7,"jsonrpc":"2.0","result":{}})" "\n" +
                             toolResult("8", "Unknown tool: a\xEF\xBF\xBD b\xEF\xBF\xBD \xF0\x9F\x98\x80 \\\\ud83d", true));
    EXPECT_EQ(calls, (std::vector<std::pair<std::string, json>>{{"", json::object()}, {"", json::object()},
                                                                {"get_page", {{"pageId", "9"}}}, {"x\xEF\xBF\xBDy", json::object()},
                                                                {"fine", json::object()}, {"bad_utf8", json::object()},
                                                                {"throws", json::object()},
                                                                {"a\xEF\xBF\xBD b\xEF\xBF\xBD \xF0\x9F\x98\x80 \\ud83d", json::object()}}));
}

TEST(ReadLine, KeepsLinesUpToTheBoundAndSkipsLongerOnesWhole) {
    const std::string fits(150'000, 'a'), tooLong(200'001, 'b');  // several of the reader's chunks each
    std::istringstream in(fits + "\n" + tooLong + "\nok\r\n\n" + tooLong + "\nlast");
    std::vector<std::pair<std::string, bool>> read;
    for (std::string line; in.peek() != std::char_traits<char>::eof();) {
        const bool skipped = readLine(in, line, 200'000);
        read.emplace_back(line, skipped);
    }
    EXPECT_EQ(read, (std::vector<std::pair<std::string, bool>>{
                        {fits, false}, {"", true}, {"ok\r", false}, {"", false}, {"", true}, {"last", false}}));
}

// The exact texts are pinned by the golden file; this guards the shape every client relies on.
TEST(ToolCatalogue, EveryToolIsWellFormed) {
    std::vector<std::string> names;
    for (const auto& tool : toolDefinitions()) {
        SCOPED_TRACE(tool.dump());
        ASSERT_EQ(tool.size(), 3u);
        names.push_back(tool.at("name"));
        EXPECT_FALSE(tool.at("description").get<std::string>().empty());
        const json& schema = tool.at("inputSchema");
        EXPECT_EQ(schema.at("type"), "object");
        for (const auto& [argument, property] : schema.at("properties").items()) {
            EXPECT_TRUE((std::set<std::string>{"string", "integer", "boolean"}.contains(property.at("type")))) << argument;
            EXPECT_TRUE(property.at("description").is_string()) << argument;
            EXPECT_EQ(property.size(), property.contains("enum") ? 3u : 2u) << argument;
        }
        for (const auto& argument : schema.value("required", json::array()))
            EXPECT_TRUE(schema["properties"].contains(argument)) << argument;
    }
    EXPECT_EQ(names, toolNames());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "duplicate name";
}

}  // namespace
}  // namespace folioport::MCPServer
