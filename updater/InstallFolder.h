#pragma once

#include <filesystem>

#include "updater/InstallStep.h"

namespace folioport {

/// Refuses an update (naming the folder) when anyone but the user could write to the folder that holds
/// `installedBundle`, or rename it away: that folder or one above it owned by another user than the user or
/// root, or writable by the group or others. A folder above may be writable by others when it has the
/// sticky bit (as /tmp has); group write counts as the user's own when the group is the user's private
/// group (named as the user, with no other member), as umask 002 systems make them.
StepResult<void> checkInstallFolder(const std::filesystem::path& installedBundle);

}  // namespace folioport
