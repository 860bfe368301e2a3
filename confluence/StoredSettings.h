#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "confluence/ConfluenceConfig.h"
#include "platform/Preferences.h"

namespace folioport {

/// Every stored setting: seven preference keys (each with its own fallback) and the keyring token.
/// The one reader and writer of them for both run modes; no Qt.
struct StoredSettings {
    std::string baseURL;
    std::string email;
    std::string apiToken;  ///< lives only in the keyring
    std::string spaceKey;  ///< empty means all spaces
    std::int64_t pageLimit = 50;
    std::int64_t refreshMinutes = 30;
    bool autoUpdate = true;
    std::string updateFeedURL;

    /// What a save reached: the preferences file and the keyring each report separately.
    struct SaveOutcome {
        std::optional<std::string> preferencesError;  ///< why the file could not be written
        bool tokenStored = false;                     ///< the keyring holds exactly apiToken now
    };

    /// The connection settings exactly as they stand, not normalised.
    ConfluenceConfig config() const;

    /// Reads the preferences file and the token; blocks at most the keyring's bound.
    static StoredSettings load(const std::filesystem::path& file = platform::Preferences::defaultFile());

    /// Writes the seven keys ("baseURL", "email", "spaceKey", "pageLimit", "refreshMinutes", "autoUpdate",
    /// "updateFeedURL") as they stand, keeping keys this program does not know, then the token.
    SaveOutcome save(const std::filesystem::path& file = platform::Preferences::defaultFile()) const;

    /// Writes "spaceKey" alone, as the panel's space menu does.
    static std::optional<std::string> saveSpaceKey(const std::string& key,
                                                   const std::filesystem::path& file = platform::Preferences::defaultFile());
};

}  // namespace folioport
