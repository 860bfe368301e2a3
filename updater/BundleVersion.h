#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "updater/InstallStep.h"

namespace folioport {

/// Digits in runs separated by single dots ("104", "1.0.4"): the only build numbers whose order is the
/// order of their numbers; "100-beta" or "100rc1" would sort above "100".
bool isBuildNumber(std::string_view build);

/// Requires the bundle's CFBundleShortVersionString to be exactly `expected`, as text (1.3 is not 1.3.0), and
/// its CFBundleVersion to be numbers separated by dots that sort after `runningBuild`: the feed is unsigned,
/// so only the sealed build number keeps an older signed bundle from being offered as new.
StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected,
                               const std::string& runningBuild);

}  // namespace folioport
