#include "confluence/StoredSettings.h"

#include "platform/Keychain.h"

namespace folioport {
ConfluenceConfig StoredSettings::config() const {
    return ConfluenceConfig{.baseURL = baseURL, .email = email, .apiToken = apiToken, .gatewayBaseURL = gatewayBaseURL};
}

StoredSettings::Reading StoredSettings::load(const std::filesystem::path& file) {
    const TokenReading token = readToken();
    StoredSettings settings = StoredSettings{}.withPreferencesFrom(file);
    settings.apiToken = token.value_or(std::nullopt).value_or("");
    // why: without a site and an e-mail no token is expected, so an unreadable keyring is no reason to wait;
    // a first start on a desktop without a keyring must offer to connect.
    const bool tokenExpected = !settings.baseURL.empty() && !settings.email.empty();
    return {.settings = std::move(settings),
            .tokenUnreadable = token || !tokenExpected ? std::nullopt : std::optional(token.error())};
}

StoredSettings::TokenReading StoredSettings::readToken() { return platform::Keychain::lookup(tokenAccount); }

StoredSettings StoredSettings::withPreferencesFrom(const std::filesystem::path& file) const {
    StoredSettings settings = fromPreferences(platform::Preferences::read(file));
    settings.apiToken = apiToken;
    return settings;
}

StoredSettings StoredSettings::fromPreferences(const platform::Preferences& preferences) {
    using namespace platform;
    return StoredSettings{
        .baseURL = preferences.string(StringPreference::baseURL),
        .email = preferences.string(StringPreference::email),
        .apiToken = {},
        .spaceKey = preferences.string(StringPreference::spaceKey),
        .pageLimit = preferences.integer(IntegerPreference::pageLimit),
        .refreshMinutes = preferences.integer(IntegerPreference::refreshMinutes),
        .autoUpdate = preferences.boolean(BooleanPreference::autoUpdate),
        .updateFeedURL = preferences.string(StringPreference::updateFeedURL),
        .gatewayBaseURL = preferences.string(StringPreference::gatewayBaseURL),
        .assistantsReadOnly = preferences.boolean(BooleanPreference::assistantsReadOnly),
    };
}

StoredSettings::SaveOutcome StoredSettings::save(const std::filesystem::path& file, TokenWrite token) const {
    using namespace platform;
    SaveOutcome outcome{.tokenStored = token == TokenWrite::keepStored || Keychain::set(apiToken, tokenAccount),
                        .preferencesError = std::nullopt};
    // why: a refused token leaves everything as it was, so the user can unlock the keyring and save again.
    if (!outcome.tokenStored) return outcome;
    // why: read first so keys this program does not know survive the save.
    auto preferences = Preferences::read(file);
    preferences.set(StringPreference::baseURL, baseURL);
    preferences.set(StringPreference::email, email);
    preferences.set(StringPreference::spaceKey, spaceKey);
    preferences.set(IntegerPreference::pageLimit, pageLimit);
    preferences.set(IntegerPreference::refreshMinutes, refreshMinutes);
    preferences.set(BooleanPreference::autoUpdate, autoUpdate);
    preferences.set(StringPreference::updateFeedURL, updateFeedURL);
    preferences.set(StringPreference::gatewayBaseURL, gatewayBaseURL);
    preferences.set(BooleanPreference::assistantsReadOnly, assistantsReadOnly);
    if (auto written = preferences.write(file); !written) outcome.preferencesError = written.error();
    return outcome;
}

namespace {

/// Writes one string key alone, keeping every other key as the file holds it.
std::optional<std::string> saveOne(platform::StringPreference key, const std::string& value,
                                   const std::filesystem::path& file) {
    auto preferences = platform::Preferences::read(file);
    preferences.set(key, value);
    if (auto written = preferences.write(file); !written) return written.error();
    return std::nullopt;
}

}  // namespace

std::optional<std::string> StoredSettings::saveSpaceKey(const std::string& key, const std::filesystem::path& file) {
    return saveOne(platform::StringPreference::spaceKey, key, file);
}

std::optional<std::string> StoredSettings::saveGatewayBaseURL(const std::string& base,
                                                              const std::filesystem::path& file) {
    return saveOne(platform::StringPreference::gatewayBaseURL, base, file);
}

}  // namespace folioport
