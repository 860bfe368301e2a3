#include "updater/WorkFolders.h"

#include <openssl/rand.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

namespace folioport {
namespace {

namespace fs = std::filesystem;

/// A new random (version 4) UUID in its canonical upper-case form.
std::string newUuid() {
    std::array<unsigned char, 16> bytes{};
    RAND_bytes(bytes.data(), static_cast<int>(bytes.size()));
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string text;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) text += '-';
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[index]);
        text += digits;
    }
    return text;
}

/// A new folder only the user may enter, whatever the umask; it must not exist yet.
StepResult<void> makePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 || ::chmod(folder.c_str(), S_IRWXU) != 0)
        return systemFailure("Could not create the folder", folder, {errno, std::generic_category()});
    return {};
}

/// Removes `folder` and all in it; first gives the user back write permission on every folder inside, which
/// remove_all needs. Links are not followed.
void removeTree(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error))) return;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    }
    fs::remove_all(folder, error);
}

}  // namespace

StepResult<WorkFolders> makeWorkFolders(const fs::path& temporaryFolder, const fs::path& installedBundle) {
    const std::string uuid = newUuid();
    WorkFolders folders{temporaryFolder / ("FolioportUpdate-" + uuid),
                        installedBundle.parent_path() / (".FolioportUpdate-" + uuid)};
    if (auto made = makePrivateFolder(folders.download); !made) return std::unexpected(made.error());
    if (auto made = makePrivateFolder(folders.staging); !made) {
        removeTree(folders.download);
        return std::unexpected(made.error());
    }
    return folders;
}

void discardWorkFolders(const WorkFolders& folders) {
    removeTree(folders.download);
    removeTree(folders.staging);
}

}  // namespace folioport
