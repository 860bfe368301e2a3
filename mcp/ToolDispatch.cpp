#include "mcp/ToolDispatch.h"

#include "mcp/ToolCatalogue.h"

namespace folioport::MCPServer {

std::expected<std::string, ToolFailure> perform(std::string_view tool, const nlohmann::json& arguments,
                                                const SettingsLoader& loadSettings, const Clock& now,
                                                std::stop_token stop) {
    const Settings settings = loadSettings();
    if (!settings.config.isComplete()) {
        if (settings.servicesMissing) return std::unexpected(ToolError::noServices(*settings.servicesMissing));
        return std::unexpected(ConfluenceError::notConfigured());
    }
    const Tool* found = findTool(tool);
    if (!found) return std::unexpected(ToolError::unknownTool(std::string(tool)));
    if (found->access == Tool::Access::writes && settings.assistantsReadOnly)
        return std::unexpected(ToolError{ToolError::Kind::readOnly});
    const ConfluenceClient client(settings.config);
    return found->run(ToolCall{client, settings, arguments, now(), std::move(stop)});
}

}  // namespace folioport::MCPServer
