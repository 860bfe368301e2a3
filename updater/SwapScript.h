#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "updater/InstallStep.h"
#include "updater/UpdateManifest.h"
#include "updater/WorkFolders.h"

namespace folioport {

/// The shell script that waits until process `pid` has ended and replaces the installed bundle ($2) by the
/// verified one, named $1 but reached through its staging folder open as descriptor 3, with renames only.
/// It holds the lock ".<bundle name>.lock" beside $2 throughout, as the launcher does while it recovers, so
/// the two never act at once. It refuses a new bundle on another file system than $2, moves $2 aside to
/// "$2.old" and the new one into its place, and if that fails moves the old one back; a failure removes
/// nothing that was at $2. On any failure it writes why, and the offer from "offer.json" in the staging
/// folder, to the note ".<bundle name>.update-failed" beside $2 (see takeSwapFailure). At its end it removes
/// the backup and the staging folder and starts the bundle installed then in a session of its own. Killed
/// between its steps, it leaves one complete bundle at $2 or at "$2.old", which the launcher puts back.
std::string swapScript(pid_t pid);

/// Replaces `installedBundle` by the verified bundle `bundleName` in the staging folder of `folders`, once
/// process `pid` has ended: writes the swap script as "install.sh" and `offer` as "offer.json" into the
/// staging folder through its descriptor and starts the script detached through /bin/sh, with that
/// descriptor as its descriptor 3. Does not wait for it.
StepResult<void> startSwap(const WorkFolders& folders, const std::string& bundleName,
                           const std::filesystem::path& installedBundle, const UpdateManifest& offer, pid_t pid);

/// What a swap that gave up wrote beside the bundle: why, and the version it was to install.
struct SwapFailure {
    std::string reason;
    std::optional<UpdateManifest> offer;  ///< absent when the note held no readable offer
};

/// Reads and removes the note a failed swap left beside `installedBundle`; absent when there is none. A note
/// larger than `limit` bytes, or not a regular file, is removed unread.
std::optional<SwapFailure> takeSwapFailure(const std::filesystem::path& installedBundle, std::size_t limit);

}  // namespace folioport
