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

}  // namespace

std::filesystem::path xdgConfigHome() {
    // why: the XDG base-directory rules say relative values are invalid and must be ignored.
    if (const char* dir = std::getenv("XDG_CONFIG_HOME"); dir && dir[0] == '/') return dir;
    return homeDirectory() / ".config";
}

std::filesystem::path xdgDataHome() {
    if (const char* dir = std::getenv("XDG_DATA_HOME"); dir && dir[0] == '/') return dir;
    return homeDirectory() / ".local" / "share";
}

}  // namespace folioport::platform
