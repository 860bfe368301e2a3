#pragma once

#include <string>

#include "confluence/ConfluenceConfig.h"

namespace folioport::MCPServer {

/// The MCP mode's snapshot of the stored settings, read afresh at every tool call.
struct Settings {
    ConfluenceConfig config;
    std::string spaceKey;  ///< the default space of the tools; empty means none

    /// The stored settings as they stand now (preferences file and keyring token).
    static Settings load();
};

}  // namespace folioport::MCPServer
