#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "confluence/ConfluenceConfig.h"
#include "platform/Keychain.h"
#include "platform/Preferences.h"

namespace folioport {

/// Every stored setting: the preference keys (each with its own fallback) and the keyring token.
/// The one value type of the settings and their one reader and writer, for both run modes; no Qt.
/// A default-built value is a fresh installation's.
struct StoredSettings {
    /// The keyring account the token is stored under.
    static constexpr const char* tokenAccount = "apiToken";

    std::string baseURL;
    std::string email;
    std::string apiToken;  ///< lives only in the keyring
    std::string spaceKey;  ///< empty means all spaces
    std::int64_t pageLimit = platform::Preferences::fallback(platform::IntegerPreference::pageLimit);
    std::int64_t refreshMinutes = platform::Preferences::fallback(platform::IntegerPreference::refreshMinutes);
    bool autoUpdate = platform::Preferences::fallback(platform::BooleanPreference::autoUpdate);
    std::string updateFeedURL = platform::Preferences::fallback(platform::StringPreference::updateFeedURL);
    std::string gatewayBaseURL;  ///< empty: no gateway; only a settings-time check of the site sets it
    /// The MCP tools refuse to create, update and delete pages.
    bool assistantsReadOnly = platform::Preferences::fallback(platform::BooleanPreference::assistantsReadOnly);

    bool operator==(const StoredSettings&) const = default;

    /// What a save reached: the preferences file and the keyring each report separately.
    struct SaveOutcome {
        bool tokenStored = false;                     ///< the keyring holds exactly apiToken now (or kept its own)
        std::optional<std::string> preferencesError;  ///< why the file could not be written
    };
    /// Whether a save writes apiToken into the keyring or leaves the stored token as it is.
    enum class TokenWrite { write, keepStored };
    /// Why the keyring could not be asked for the token (locked, not running, not answering, …).
    using TokenUnreadable = platform::Keychain::Unreadable;
    /// A few words on why, to stand inside a sentence.
    static std::string_view describe(TokenUnreadable reason) { return platform::Keychain::describe(reason); }
    /// The token as the keyring answered: the stored one (absent when none is), or why it could not be read.
    using TokenReading = std::expected<std::optional<std::string>, TokenUnreadable>;

    /// Settings as read at one moment, with whether the keyring could be asked for the token.
    struct Reading;

    /// The connection settings exactly as they stand, not normalised.
    ConfluenceConfig config() const;

    /// Reads the preferences file and the token; blocks up to the keyring's bound, so never on a UI thread.
    /// A keyring that could not be read leaves apiToken empty and says why.
    static Reading load(const std::filesystem::path& file = platform::Preferences::defaultFile());
    /// Asks the keyring for the token alone; blocks up to the keyring's bound.
    static TokenReading readToken();
    /// These settings with every preference key as `file` holds it now; apiToken stays.
    StoredSettings withPreferencesFrom(const std::filesystem::path& file) const;
    /// Every preference key as `preferences` holds it, with no token: the one mapping of keys to fields.
    static StoredSettings fromPreferences(const platform::Preferences& preferences);

    /// Writes the token (unless `token` keeps the stored one), then, only when the keyring took it, the keys
    /// ("baseURL", "email", "spaceKey", "pageLimit", "refreshMinutes", "autoUpdate", "updateFeedURL", and
    /// "gatewayBaseURL" and "assistantsReadOnly" only while they differ from their defaults) as they stand,
    /// keeping keys this program does not know. Blocks up to the keyring's bound, so never on a UI thread.
    SaveOutcome save(const std::filesystem::path& file = platform::Preferences::defaultFile(),
                     TokenWrite token = TokenWrite::write) const;

    /// Writes "spaceKey" alone, as the panel's space menu does.
    static std::optional<std::string> saveSpaceKey(const std::string& key,
                                                   const std::filesystem::path& file = platform::Preferences::defaultFile());
    /// Writes "gatewayBaseURL" alone (removes it when empty), as the route decided after "Done" is stored.
    static std::optional<std::string> saveGatewayBaseURL(const std::string& base,
                                                         const std::filesystem::path& file = platform::Preferences::defaultFile());
};

struct StoredSettings::Reading {
    StoredSettings settings;
    /// Why the keyring could not be read; absent when it answered (with a token or without one), or when no
    /// site and e-mail are stored, so no token is expected.
    std::optional<TokenUnreadable> tokenUnreadable;
};

}  // namespace folioport
