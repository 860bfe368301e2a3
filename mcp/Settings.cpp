#include "mcp/Settings.h"

#include "platform/Keychain.h"
#include "platform/Preferences.h"

namespace folioport::MCPServer {

Settings Settings::load() {
    using platform::StringPreference;
    const auto preferences = platform::Preferences::read();
    return Settings{
        .config =
            {
                .baseURL = preferences.string(StringPreference::baseURL),
                .email = preferences.string(StringPreference::email),
                .apiToken = platform::Keychain::get("apiToken").value_or(""),
            },
        .spaceKey = preferences.string(StringPreference::spaceKey),
    };
}

}  // namespace folioport::MCPServer
