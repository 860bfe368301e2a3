#include "platform/XdgPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace folioport::platform {
namespace {

std::filesystem::path homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

/// The folder `variable` names when it is an absolute path (the XDG rules say relative values are invalid and
/// must be ignored), else `fallback` under the home folder.
std::filesystem::path xdgFolder(const char* variable, const std::filesystem::path& fallback) {
    if (const char* dir = std::getenv(variable); dir && dir[0] == '/') return dir;
    return homeDirectory() / fallback;
}

}  // namespace

std::filesystem::path xdgConfigHome() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path xdgDataHome() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path xdgStateHome() { return xdgFolder("XDG_STATE_HOME", ".local/state"); }

}  // namespace folioport::platform
