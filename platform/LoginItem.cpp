#include "platform/LoginItem.h"

#include <fstream>
#include <string>

#include "platform/Bundle.h"
#include "platform/Posix.h"
#include "platform/XdgPaths.h"

namespace folioport::platform::LoginItem {
namespace {

/// One argument quoted for an Exec line, then escaped as a desktop-entry string value.
std::string execArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (const char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool writeEntry(const std::vector<std::string>& command) {
    std::error_code error;
    std::filesystem::create_directories(entryFile().parent_path(), error);
    if (error) return false;
    std::ofstream file(entryFile(), std::ios::trunc);
    std::string exec;
    for (const std::string& argument : command) exec += (exec.empty() ? "" : " ") + execArgument(argument);
    file << "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Folioport\n"
            "Comment=Recently updated Confluence pages in the system tray\n"
            "Exec="
         << exec
         << "\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    file.close();
    return static_cast<bool>(file);
}

}  // namespace

std::filesystem::path entryFile() {
    return xdgConfigHome() / "autostart" / "com.tessaly.folioport.desktop";
}

std::vector<std::string> startCommand(const std::optional<std::filesystem::path>& bundle) {
    const auto launcher = xdgDataHome() / "folioport" / "launch.sh";
    std::error_code error;
    if (bundle && std::filesystem::is_regular_file(launcher, error))
        return {"/bin/sh", launcher.string(), bundle->string()};
    return {runningExecutable().string()};
}

bool isEnabled() {
    std::ifstream file(entryFile());
    if (!file) return false;
    bool inMainGroup = false;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with('[')) inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line == "Hidden=true") return false;
    }
    return true;
}

bool setEnabled(bool enabled, std::vector<std::string> command) {
    if (enabled == isEnabled()) return true;
    if (enabled) return writeEntry(command.empty() ? startCommand(Bundle::location()) : command);
    std::error_code error;
    std::filesystem::remove(entryFile(), error);
    return !error;
}

}  // namespace folioport::platform::LoginItem
