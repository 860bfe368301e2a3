#pragma once

#include <filesystem>

#include "updater/InstallStep.h"

namespace folioport {

/// The extraction tool, whose exit status and output decide and explain a failed unpack.
inline constexpr const char* archiveTool = "/usr/bin/bsdtar";

/// Extracts the archive into "unpacked" beside it and gives the first top-level entry named "*.app".
/// Refuses an archive with a member that would land outside that folder (absolute or with "..") before
/// extracting anything, and one that leaves a symlink pointing outside it.
StepResult<std::filesystem::path> unpack(const std::filesystem::path& archive);

}  // namespace folioport
