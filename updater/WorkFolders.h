#pragma once

#include <filesystem>

#include "updater/InstallStep.h"

namespace folioport {

/// The two private folders (mode 0700) of one installation, named alike with a fresh random UUID:
/// the download's, "FolioportUpdate-<UUID>" in the temporary folder, and the staging folder, hidden beside
/// the installed bundle (".FolioportUpdate-<UUID>"), into which the archive is unpacked and verified, so
/// that the swap only renames on one file system.
struct WorkFolders {
    std::filesystem::path download;
    std::filesystem::path staging;
};

/// Makes both folders; on failure neither stays.
StepResult<WorkFolders> makeWorkFolders(const std::filesystem::path& temporaryFolder,
                                        const std::filesystem::path& installedBundle);

/// Removes both folders with everything in them, also folders without write permission; ignores failures.
void discardWorkFolders(const WorkFolders& folders);

}  // namespace folioport
