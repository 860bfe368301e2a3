#include "mcp/ToolOperations.h"

#include <utility>

#include "mcp/Tools.h"

namespace folioport::MCPServer {
namespace {

using Operation = ToolResult (*)(const ToolCall&);

// Names compared exactly, in catalogue order.
constexpr std::pair<std::string_view, Operation> operations[] = {
    {"list_spaces", &listSpaces}, {"list_pages", &listPages},   {"search_pages", &searchPages},
    {"get_page", &getPage},       {"create_page", &createPage}, {"update_page", &updatePage},
    {"delete_page", &deletePage},
};

}  // namespace

std::expected<std::string, ToolFailure> perform(std::string_view tool, const nlohmann::json& arguments,
                                                const SettingsLoader& loadSettings, const Clock& now) {
    const Settings settings = loadSettings();
    if (!settings.config.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    const ConfluenceClient client(settings.config);
    for (const auto& [name, operation] : operations)
        if (name == tool) return operation(ToolCall{client, settings, arguments, now()});
    return std::unexpected(ToolError{"Unknown tool: " + std::string(tool)});
}

}  // namespace folioport::MCPServer
