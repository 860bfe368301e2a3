#pragma once

#include <filesystem>

namespace folioport::platform::LoginItem {

/// ${XDG_CONFIG_HOME:-~/.config}/autostart/com.tessaly.folioport.desktop
std::filesystem::path entryFile();

/// True exactly when the autostart entry exists and is not marked Hidden=true.
bool isEnabled();

/// Writes or deletes the autostart entry when the state differs; false when that failed.
/// The entry starts `executable` (by default the running one).
bool setEnabled(bool enabled, const std::filesystem::path& executable = {});

}  // namespace folioport::platform::LoginItem
