#include "mcp/Settings.h"

#include <sys/stat.h>

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

SettingsReader::SettingsReader(std::filesystem::path file, Warn warn)
    : file_(std::move(file)), warn_(std::move(warn)) {}

Settings SettingsReader::load() {
    struct stat status {};
    FileStamp stamp;  // a missing file keeps the empty stamp
    if (::stat(file_.c_str(), &status) == 0)
        stamp = {status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
    if (!(stamp == stamp_) || stamp.size < 0) {
        using platform::StringPreference;
        const auto [preferences, problem] = platform::Preferences::inspect(file_);
        if (problem && warn_) warn_(*problem);
        parsed_ = Settings{.config = {.baseURL = preferences.string(StringPreference::baseURL),
                                      .email = preferences.string(StringPreference::email),
                                      .apiToken = {},
                                      .gatewayBaseURL = preferences.string(StringPreference::gatewayBaseURL)},
                           .spaceKey = preferences.string(StringPreference::spaceKey),
                           .servicesMissing = {},
                           .assistantsReadOnly = preferences.boolean(platform::BooleanPreference::assistantsReadOnly)};
        stamp_ = stamp;
    }

    Settings settings = parsed_;
    const auto token = platform::Keychain::lookup(StoredSettings::tokenAccount);
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
