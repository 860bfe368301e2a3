#pragma once

#include <filesystem>

namespace folioport::platform {

/// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config (home from $HOME, else the passwd entry).
std::filesystem::path xdgConfigHome();

/// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::filesystem::path xdgDataHome();

}  // namespace folioport::platform
