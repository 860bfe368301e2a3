#include "updater/BundleVersion.h"

#include "platform/Bundle.h"
#include "updater/VersionOrder.h"

namespace folioport {
namespace {

/// Digits in runs separated by single dots ("104", "1.0.4"): the only build numbers whose order is the
/// order of their numbers; "100-beta" or "100rc1" would sort above "100".
bool isBuildNumber(std::string_view build) {
    bool afterDigit = false;
    for (const char c : build) {
        if (c == '.' && afterDigit) afterDigit = false;
        else if (c >= '0' && c <= '9') afterDigit = true;
        else return false;
    }
    return afterDigit;
}

}  // namespace

StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected,
                               const std::string& runningBuild) {
    const auto plist = bundle / "Contents" / "Info.plist";
    const auto found = platform::Bundle::readInfoString(plist, "CFBundleShortVersionString");
    const auto build = platform::Bundle::readInfoString(plist, "CFBundleVersion");
    if (!found || !build)
        return std::unexpected(UpdateError::badDownload("unreadable Info.plist in the downloaded bundle"));
    if (*found != expected) return std::unexpected(UpdateError::versionMismatch(*found, expected));
    if (!isBuildNumber(*build)) return std::unexpected(UpdateError::badBuildNumber(*build));
    if (compareVersions(*build, runningBuild) <= 0) return std::unexpected(UpdateError::notNewer(*build, runningBuild));
    return {};
}

}  // namespace folioport
