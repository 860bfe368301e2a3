#pragma once

#include <sys/types.h>

#include <ctime>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "confluence/ConfluenceConfig.h"
#include "platform/Keychain.h"
#include "platform/Preferences.h"

namespace folioport::MCPServer {

/// The MCP mode's snapshot of the stored settings, read afresh at every tool call.
struct Settings {
    ConfluenceConfig config;
    std::string spaceKey;  ///< the default space of the tools; empty means none
    /// Why the network and keyring library could not be loaded, which leaves the tools without a token.
    std::optional<std::string> servicesMissing;
    bool assistantsReadOnly = false;  ///< the tools that write pages refuse to
};

/// Reads the settings for each tool call, cheaply: the preferences file is parsed again only when it
/// changed since the last read (another inode, size or time stamp), and the keyring keeps its
/// connection. When the keyring cannot be asked, it says why once, through `warn` (never the token); when
/// the preferences file exists but cannot be used, or holds a value read otherwise than it stands (a REST
/// route that is not the API gateway's, a read-only switch that is not a boolean), it says so once for each
/// version of the file.
class SettingsReader {
public:
    using Warn = std::function<void(std::string_view message)>;
    using TokenLookup = std::function<std::expected<std::optional<std::string>, platform::Keychain::Unreadable>()>;

    /// `token` asks the keyring; only tests pass another.
    explicit SettingsReader(std::filesystem::path file = platform::Preferences::defaultFile(), Warn warn = {},
                            TokenLookup token = defaultTokenLookup());

    /// The preferences file and the keyring token as they stand now.
    Settings load();

private:
    static TokenLookup defaultTokenLookup();

    /// What tells one version of the file from another without reading it.
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        timespec changed{};
        bool operator==(const FileStamp& other) const;
    };

    std::filesystem::path file_;
    Warn warn_;
    TokenLookup token_;
    bool warned_ = false;
    FileStamp stamp_;
    Settings parsed_;  // the preferences part, as of stamp_
};

}  // namespace folioport::MCPServer
