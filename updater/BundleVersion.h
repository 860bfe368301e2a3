#pragma once

#include <filesystem>
#include <string>

#include "updater/InstallStep.h"

namespace folioport {

/// Requires the bundle's CFBundleShortVersionString to be exactly `expected`, as text (1.3 is not 1.3.0), and
/// its CFBundleVersion to be numbers separated by dots that sort after `runningBuild`: the feed is unsigned,
/// so only the sealed build number keeps an older signed bundle from being offered as new.
StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected,
                               const std::string& runningBuild);

}  // namespace folioport
