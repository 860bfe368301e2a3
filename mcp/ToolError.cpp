#include "mcp/ToolError.h"

namespace folioport::MCPServer {

std::string describe(const ToolFailure& failure) {
    struct Describer {
        std::string operator()(const ToolError& error) const { return error.message; }
        std::string operator()(const ConfluenceError& error) const { return folioport::describe(error); }
    };
    return std::visit(Describer{}, failure);
}

}  // namespace folioport::MCPServer
