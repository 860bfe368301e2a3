#pragma once

#include <filesystem>

#include "updater/InstallStep.h"
#include "updater/UpdateLimits.h"

namespace folioport {

/// Extracts the zip archive into the existing, empty `folder` and gives the first top-level entry there
/// named "*.app". Takes only folders, regular files and symlinks with names that stay inside the folder and
/// pass through no symlink; refuses hard links, devices, FIFOs and sockets, and stops at the limits' entry
/// count, depth and unpacked size. Restores no owners: everything belongs to the user, folders and
/// executable files get mode 755, other files 644. Refuses a symlink that ends outside the folder. What
/// was written before a refusal stays for the caller to remove.
StepResult<std::filesystem::path> unpack(const std::filesystem::path& archive, const std::filesystem::path& folder,
                                         const UpdateLimits& limits);

}  // namespace folioport
