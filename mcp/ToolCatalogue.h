#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "mcp/ToolCall.h"

namespace folioport::MCPServer {

/// One tool, described once: how "tools/list" announces it, the operation that runs it, and whether that
/// operation changes pages (which the read-only setting refuses; "tools/list" does not show it).
struct Tool {
    enum class Access { reads, writes };

    std::string_view name;
    std::string_view description;
    nlohmann::json inputSchema;
    ToolResult (*run)(const ToolCall& call);
    Access access;
};

/// Every tool, in catalogue order; built once, never changed.
const std::vector<Tool>& tools();

/// The tool with exactly this name, or null.
const Tool* findTool(std::string_view name);

/// Every tool as "tools/list" announces them: name, description and input schema, in
/// catalogue order.
nlohmann::json toolDefinitions();

/// The tool names in catalogue order.
std::vector<std::string> toolNames();

}  // namespace folioport::MCPServer
