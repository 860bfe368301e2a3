#pragma once

#include <chrono>
#include <expected>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mcp/Settings.h"
#include "mcp/ToolError.h"

namespace folioport::MCPServer {

using SettingsLoader = std::function<Settings()>;
/// The time that "today" and "n days ago" in answers are measured from.
using Clock = std::function<std::chrono::system_clock::time_point()>;

/// Runs one tool call to completion on the calling thread: loads the settings, refuses when they
/// are incomplete (before looking at the name), refuses a tool that writes pages, before any request,
/// while they let assistants only read, then dispatches on the tool name. The whole call has one
/// deadline, 5 minutes from when its settings are read. A stop request ends the request in flight at
/// once, as a network error.
std::expected<std::string, ToolFailure> perform(std::string_view tool, const nlohmann::json& arguments,
                                                const SettingsLoader& loadSettings,
                                                const Clock& now = [] { return std::chrono::system_clock::now(); },
                                                std::stop_token stop = {});

}  // namespace folioport::MCPServer
