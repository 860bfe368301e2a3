#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mcp/Settings.h"
#include "mcp/ToolError.h"

namespace folioport::MCPServer {

using SettingsLoader = std::function<Settings()>;

/// Runs one tool call to completion on the calling thread: loads the settings, refuses when they
/// are incomplete (before looking at the name), then dispatches on the tool name.
std::expected<std::string, ToolFailure> perform(std::string_view tool, const nlohmann::json& arguments,
                                                const SettingsLoader& loadSettings = &Settings::load);

}  // namespace folioport::MCPServer
