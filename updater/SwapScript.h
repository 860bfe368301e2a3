#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "updater/InstallStep.h"

namespace folioport {

/// The twelve-line shell script that waits until process `pid` has ended, moves the installed bundle ($2)
/// aside to "$2.old", moves the new bundle ($1) into its place (putting the old one back if that fails),
/// removes the backup and starts the new bundle's executable in a session of its own.
std::string swapScript(pid_t pid);

/// Replaces `installedBundle` by `newBundle` once process `pid` has ended: checks that the installed
/// bundle's folder is writable, writes the swap script as "install.sh" beside the new bundle and starts it
/// detached through /bin/sh. Does not wait for it.
StepResult<void> startSwap(const std::filesystem::path& newBundle, const std::filesystem::path& installedBundle,
                           pid_t pid);

}  // namespace folioport
