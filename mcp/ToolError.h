#pragma once

#include <string>
#include <variant>

#include "confluence/ConfluenceError.h"

namespace folioport::MCPServer {

/// A bad tool argument; its message is the whole text of the "isError" result.
struct ToolError {
    std::string message;
    bool operator==(const ToolError&) const = default;
};

/// Why a tool call failed: bad arguments, or the REST client's error.
using ToolFailure = std::variant<ToolError, ConfluenceError>;

/// The user-facing text of a failure.
std::string describe(const ToolFailure& failure);

}  // namespace folioport::MCPServer
