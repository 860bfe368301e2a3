#include "updater/WorkFolders.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

namespace folioport {
namespace {

namespace fs = std::filesystem;
using platform::Descriptor;

constexpr std::string_view stagingPrefix = ".FolioportUpdate-";

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

/// Fails naming the folder; removes it when this call made it (it is still empty then).
std::unexpected<UpdateError> couldNotCreate(const fs::path& folder, int error, bool made = true) {
    if (made) ::rmdir(folder.c_str());
    return systemFailure("Could not create the folder", folder, {error, std::generic_category()});
}

/// A new folder only the user may enter, whatever the umask, opened and locked; it must not exist yet.
StepResult<Descriptor> makePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), S_IRWXU) != 0) return couldNotCreate(folder, errno, false);
    Descriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (opened.get() < 0 || ::fchmod(opened.get(), S_IRWXU) != 0 || ::fstat(opened.get(), &status) != 0)
        return couldNotCreate(folder, errno);
    // why: checked on the descriptor, so what the steps work in is the folder made here, whatever its name
    // points to later.
    if (status.st_uid != ::geteuid() || (status.st_mode & 07777) != S_IRWXU) return couldNotCreate(folder, EPERM);
    if (::flock(opened.get(), LOCK_EX | LOCK_NB) != 0) return couldNotCreate(folder, errno);
    return opened;
}

}  // namespace

fs::path WorkFolders::stagingByDescriptor() const {
    // why: the trailing "." makes the magic link an inner component, so O_NOFOLLOW opens still work.
    return fs::path("/proc/self/fd") / std::to_string(stagingFolder->get()) / ".";
}

StepResult<WorkFolders> makeWorkFolders(const fs::path& temporaryFolder, const fs::path& installedBundle) {
    const std::string uuid = newUuid();
    WorkFolders folders{temporaryFolder / ("FolioportUpdate-" + uuid),
                        installedBundle.parent_path() / (std::string(stagingPrefix) + uuid), nullptr};
    if (auto made = makePrivateFolder(folders.download); !made) return std::unexpected(made.error());
    auto staging = makePrivateFolder(folders.staging);
    if (!staging) {
        removeWorkFolder(folders.download);
        return std::unexpected(staging.error());
    }
    folders.stagingFolder = std::make_shared<const Descriptor>(std::move(*staging));
    return folders;
}

void removeWorkFolder(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error))) return;
    // why: remove_all needs write permission on every folder inside; links are not followed.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, error);
    }
    fs::remove_all(folder, error);
}

void discardWorkFolders(const WorkFolders& folders) {
    removeWorkFolder(folders.download);
    removeWorkFolder(folders.staging);
}

void removeStaleStaging(const fs::path& installedBundle) {
    const fs::path parent = installedBundle.parent_path();
    std::error_code error;
    for (auto it = fs::directory_iterator(parent, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        if (!it->path().filename().string().starts_with(stagingPrefix)) continue;
        const Descriptor folder(::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        // why: a folder whose lock is free has no installation or swap left that could still use it.
        if (folder.get() >= 0 && ::fstat(folder.get(), &status) == 0 && status.st_uid == ::geteuid() &&
            ::flock(folder.get(), LOCK_EX | LOCK_NB) == 0)
            removeWorkFolder(it->path());
    }
}

}  // namespace folioport
