// Feeds arbitrary bytes to the MCP server as one input line: it must never crash, hang or throw,
// and every response it writes must be one line of valid JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mcp/JsonRpcLoop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport::MCPServer;
    const Dependencies dependencies{
        .version = [] { return std::string("1.0.1"); },
        .perform = [](std::string_view tool, const nlohmann::json& arguments,
                      std::stop_token) -> std::expected<std::string, ToolFailure> {
            if (tool.empty()) return std::unexpected(ToolError::unknownTool(arguments.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
            return std::string(tool);
        },
    };
    std::ostringstream out;
    std::ostringstream log;
    handleLine(std::string_view(reinterpret_cast<const char*>(data), size), out, log, dependencies);

    std::istringstream responses(out.str());
    for (std::string line; std::getline(responses, line);) {
        if (!nlohmann::json::accept(line)) std::abort();
    }
    return 0;
}
