#pragma once

#include <filesystem>
#include <string>

#include "updater/InstallStep.h"

namespace folioport {

/// Requires the bundle's CFBundleShortVersionString to be exactly `expected`, as text (1.3 is not 1.3.0).
StepResult<void> verifyVersion(const std::filesystem::path& bundle, const std::string& expected);

}  // namespace folioport
