#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace folioport::platform::LoginItem {

/// ${XDG_CONFIG_HOME:-~/.config}/autostart/com.tessaly.folioport.desktop
std::filesystem::path entryFile();

/// True exactly when the autostart entry exists and is not marked Hidden=true.
bool isEnabled();

/// The command that starts `bundle` at login: through the launcher that the installer puts at
/// ${XDG_DATA_HOME:-~/.local/share}/folioport/launch.sh, which first puts back a bundle that an update cut
/// short left at "<bundle>.old"; the running executable without a bundle or without that launcher.
std::vector<std::string> startCommand(const std::optional<std::filesystem::path>& bundle);

/// When the autostart entry is on and starts the running executable directly, as versions before the launcher
/// wrote it, points its Exec line at the start command of `bundle` instead, keeping the rest of the entry; does
/// nothing otherwise, so it can run at every start. False when the rewrite failed.
bool startThroughLauncher(const std::optional<std::filesystem::path>& bundle);

/// Writes or deletes the autostart entry when the state differs; false when that failed.
/// The entry runs `command` (by default the start command of the running copy's bundle).
bool setEnabled(bool enabled, std::vector<std::string> command = {});

}  // namespace folioport::platform::LoginItem
