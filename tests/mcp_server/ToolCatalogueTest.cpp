#include <gtest/gtest.h>

#include <set>

#include "mcp/ToolCatalogue.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

TEST(ToolCatalogue, EveryToolIsWellFormed) {
    const json tools = toolDefinitions();
    std::set<std::string> names;
    for (const auto& tool : tools) {
        SCOPED_TRACE(tool.dump());
        ASSERT_EQ(tool.size(), 3u);
        ASSERT_TRUE(tool.at("name").is_string());
        EXPECT_TRUE(names.insert(tool["name"].get<std::string>()).second) << "duplicate name";
        EXPECT_FALSE(tool.at("description").get<std::string>().empty());

        const json& schema = tool.at("inputSchema");
        EXPECT_EQ(schema.at("type"), "object");
        for (const auto& [argument, property] : schema.at("properties").items()) {
            SCOPED_TRACE(argument);
            for (const auto& [keyword, value] : property.items()) {
                EXPECT_TRUE(keyword == "type" || keyword == "description" || keyword == "enum") << keyword;
            }
            EXPECT_TRUE(std::set<std::string>({"string", "integer", "boolean"}).contains(property.at("type")));
            EXPECT_TRUE(property.at("description").is_string());
            if (property.contains("enum")) {
                EXPECT_EQ(property["type"], "string");
            }
        }
        if (schema.contains("required")) {
            EXPECT_FALSE(schema["required"].empty());
            for (const auto& argument : schema["required"]) EXPECT_TRUE(schema["properties"].contains(argument));
        }
        for (const auto& [keyword, value] : schema.items()) {
            EXPECT_TRUE(keyword == "type" || keyword == "properties" || keyword == "required") << keyword;
        }
    }
    EXPECT_EQ(toolNames(), (std::vector<std::string>{"list_spaces", "list_pages", "search_pages", "get_page",
                                                      "create_page", "update_page", "delete_page"}));
}

}  // namespace
}  // namespace folioport::MCPServer
