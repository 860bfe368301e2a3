#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace folioport::MCPServer {

/// The seven tools as "tools/list" announces them: name, description and input schema, in
/// catalogue order. Built afresh at every call.
nlohmann::json toolDefinitions();

/// The tool names in catalogue order.
std::vector<std::string> toolNames();

}  // namespace folioport::MCPServer
