#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "updater/InstallStep.h"

namespace folioport {

/// The shell script that waits until process `pid` has ended and replaces the installed bundle ($2) by the
/// verified one ($1) with renames only: it refuses a $1 on another file system than $2, moves $2 aside to
/// "$2.old" and $1 into its place, putting the old one back if that fails; removes the backup and the folder
/// that held $1 (also on failure), and starts the new bundle's executable in a session of its own. Killed
/// between its steps, it leaves at most "$2.old" whole in place of $2, which the launcher puts back.
std::string swapScript(pid_t pid);

/// Replaces `installedBundle` by `newBundle`, staged in a folder of its own beside it, once process `pid` has
/// ended: writes the swap script as "install.sh" beside the new bundle and starts it detached through
/// /bin/sh. Does not wait for it.
StepResult<void> startSwap(const std::filesystem::path& newBundle, const std::filesystem::path& installedBundle,
                           pid_t pid);

}  // namespace folioport
