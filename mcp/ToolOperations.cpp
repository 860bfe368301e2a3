#include "mcp/ToolOperations.h"

namespace folioport::MCPServer {

std::expected<std::string, ToolFailure> perform(std::string_view tool, const nlohmann::json& /*arguments*/,
                                                const SettingsLoader& loadSettings) {
    const Settings settings = loadSettings();
    if (!settings.config.isComplete()) return std::unexpected(ConfluenceError::notConfigured());
    return std::unexpected(ToolError{"Unknown tool: " + std::string(tool)});
}

}  // namespace folioport::MCPServer
