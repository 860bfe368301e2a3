#include "updater/BundleVersion.h"

#include "platform/Bundle.h"

namespace folioport {

StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected) {
    const auto found = platform::Bundle::readInfoString(bundle / "Contents" / "Info.plist", "CFBundleShortVersionString");
    if (!found) return failure(UpdateError::badDownload("unreadable Info.plist in the downloaded bundle"));
    if (*found != expected) return failure(UpdateError::versionMismatch(*found, expected));
    return {};
}

}  // namespace folioport
