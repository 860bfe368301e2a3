#pragma once

#include <filesystem>
#include <memory>

#include "platform/Posix.h"
#include "updater/InstallStep.h"

namespace folioport {

/// The two private folders (mode 0700) of one installation, named alike with a fresh random UUID:
/// the download's, "FolioportUpdate-<UUID>" in the temporary folder, and the staging folder, hidden beside
/// the installed bundle (".FolioportUpdate-<UUID>"), into which the archive is unpacked and verified, so
/// that the swap only renames on one file system.
struct WorkFolders {
    std::filesystem::path download;
    std::filesystem::path staging;  ///< its name, for messages and the swap's final removal only
    /// The staging folder as created and checked, locked while this installation and then its swap script
    /// (which inherits it) hold it open; shared by every copy of this value.
    std::shared_ptr<const platform::Descriptor> stagingFolder;

    /// The staging folder reached through its descriptor, so no rename of its name can put another folder
    /// in its place.
    std::filesystem::path stagingByDescriptor() const;
};

/// Makes both folders, the staging one checked on its descriptor to be the user's with mode 0700; on
/// failure neither stays.
StepResult<WorkFolders> makeWorkFolders(const std::filesystem::path& temporaryFolder,
                                        const std::filesystem::path& installedBundle);

/// Removes a folder with everything in it, also folders without write permission; ignores failures.
void removeWorkFolder(const std::filesystem::path& folder);

/// Removes both folders with everything in them; ignores failures.
void discardWorkFolders(const WorkFolders& folders);

/// Removes the staging folders beside `installedBundle` that belong to the user and that no installation
/// or swap holds: what an update killed part way left.
void removeStaleStaging(const std::filesystem::path& installedBundle);

}  // namespace folioport
