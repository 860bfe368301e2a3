#pragma once

#include <filesystem>
#include <stop_token>
#include <string>

#include "updater/InstallStep.h"
#include "updater/UpdateLimits.h"

namespace folioport {

/// Fetches the update archive at `url` (an address that parsed) into "update.zip" in `workFolder` as it
/// arrives, within the limits' size, low speed and overall time; gives the archive's path. Only an answer
/// of HTTP 200 is kept; the caller removes the work folder on failure.
StepResult<std::filesystem::path> download(const std::string& url, const std::filesystem::path& workFolder,
                                           const UpdateLimits& limits, std::stop_token stop);

}  // namespace folioport
