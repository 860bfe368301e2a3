#include "updater/InstallFolder.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace folioport {
namespace {

/// The user's private group: the user's own primary group, named as the user, with no other member.
bool isPrivateGroup(gid_t group) {
    const passwd* user = ::getpwuid(::geteuid());
    if (!user || user->pw_gid != group) return false;
    const std::string name = user->pw_name;
    const ::group* entry = ::getgrgid(group);
    if (!entry || entry->gr_name != name) return false;
    for (char** member = entry->gr_mem; member && *member; ++member) {
        if (*member != name) return false;
    }
    return true;
}

bool othersCanWrite(const struct stat& folder, bool holdsTheBundle) {
    if (folder.st_uid != ::geteuid() && folder.st_uid != 0) return true;
    // why: in a sticky folder others cannot rename what is ours, but beside the bundle they could still
    // make the names the swap uses.
    if (!holdsTheBundle && (folder.st_mode & S_ISVTX)) return false;
    if (folder.st_mode & S_IWOTH) return true;
    return (folder.st_mode & S_IWGRP) && !isPrivateGroup(folder.st_gid);
}

}  // namespace

StepResult<void> checkInstallFolder(const std::filesystem::path& installedBundle) {
    std::error_code error;
    const auto parent = std::filesystem::canonical(installedBundle.parent_path(), error);
    if (error) return systemFailure("Could not check", installedBundle.parent_path(), error);
    for (auto folder = parent;; folder = folder.parent_path()) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0)
            return systemFailure("Could not check", folder, {errno, std::generic_category()});
        if (othersCanWrite(status, folder == parent)) return std::unexpected(UpdateError::unsafeFolder(folder.string()));
        if (folder == folder.root_path()) return {};
    }
}

}  // namespace folioport
