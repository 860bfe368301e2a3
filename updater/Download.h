#pragma once

#include <filesystem>
#include <stop_token>
#include <string>

#include "updater/InstallStep.h"

namespace folioport {

/// Fetches the update archive at `url` (an address that parsed) and stores it as "update.zip" in a new
/// work folder under `temporaryFolder`, named "FolioportUpdate-" + a random upper-case UUID; gives the
/// archive's path. Only an answer of HTTP 200 (or one that
/// is not HTTP) is kept; the work folder is made only then.
StepResult<std::filesystem::path> download(const std::string& url, const std::filesystem::path& temporaryFolder,
                                           std::stop_token stop);

}  // namespace folioport
