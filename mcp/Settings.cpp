#include "mcp/Settings.h"

#include "confluence/StoredSettings.h"

namespace folioport::MCPServer {

Settings Settings::load() {
    const auto stored = StoredSettings::load();
    return Settings{.config = stored.config(), .spaceKey = stored.spaceKey};
}

}  // namespace folioport::MCPServer
