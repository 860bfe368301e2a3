#include "updater/BundleVersion.h"

#include "platform/Bundle.h"
#include "updater/VersionOrder.h"

namespace folioport {

StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected,
                               const std::string& runningBuild) {
    const auto plist = bundle / "Contents" / "Info.plist";
    const auto found = platform::Bundle::readInfoString(plist, "CFBundleShortVersionString");
    const auto build = platform::Bundle::readInfoString(plist, "CFBundleVersion");
    if (!found || !build) return failure(UpdateError::badDownload("unreadable Info.plist in the downloaded bundle"));
    if (*found != expected) return failure(UpdateError::versionMismatch(*found, expected));
    if (compareVersions(*build, runningBuild) <= 0) return failure(UpdateError::notNewer(*build, runningBuild));
    return {};
}

}  // namespace folioport
