#include "mcp/Settings.h"

#include <sys/stat.h>

#include "confluence/GatewayRoute.h"
#include "confluence/StoredSettings.h"
#include "platform/Keychain.h"
#include "platform/ServicesLoading.h"

namespace folioport::MCPServer {
namespace {

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

bool SettingsReader::FileStamp::operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

SettingsReader::SettingsReader(std::filesystem::path file, Warn warn, TokenLookup token)
    : file_(std::move(file)), warn_(std::move(warn)), token_(std::move(token)) {}

SettingsReader::TokenLookup SettingsReader::defaultTokenLookup() {
    return [] { return StoredSettings::readToken(); };
}

Settings SettingsReader::load() {
    struct stat status {};
    FileStamp stamp;  // a missing file keeps the empty stamp
    if (::stat(file_.c_str(), &status) == 0)
        stamp = {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
    if (!(stamp == stamp_) || stamp.size < 0) {
        auto [preferences, problem, doubts] = platform::Preferences::inspect(file_);
        if (problem) doubts.insert(doubts.begin(), *problem);
        const StoredSettings stored = StoredSettings::fromPreferences(preferences);
        // why: the MCP server has no test root; only the gateway's own address may receive the credentials.
        StoredRoute route = storedRoute(stored.gatewayBaseURL);
        if (route.ignored) doubts.push_back(*route.ignored);
        if (warn_)
            for (const std::string& doubt : doubts) warn_(doubt);
        parsed_ = Settings{.config = stored.config(),
                           .spaceKey = stored.spaceKey,
                           .servicesMissing = {},
                           .assistantsReadOnly = stored.assistantsReadOnly};
        parsed_.config.gatewayBaseURL = std::move(route.gatewayBaseURL);
        stamp_ = stamp;
    }

    Settings settings = parsed_;
    const auto token = token_();
    if (token) {
        settings.config.apiToken = token->value_or("");
        return settings;
    }
    if (token.error() == platform::Keychain::Unreadable::noLibrary) settings.servicesMissing = platform::servicesFailure();
    if (!warned_ && warn_) {
        warned_ = true;
        warn_("could not read the API token: " +
              settings.servicesMissing.value_or(std::string(platform::Keychain::describe(token.error()))));
    }
    return settings;
}

}  // namespace folioport::MCPServer
