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

/// The Exec line that runs `command`, without its line break.
std::string execLine(const std::vector<std::string>& command) {
    std::string exec;
    for (const std::string& argument : command) exec += (exec.empty() ? "" : " ") + execArgument(argument);
    return "Exec=" + exec;
}

bool writeEntry(const std::vector<std::string>& command) {
    std::error_code error;
    std::filesystem::create_directories(entryFile().parent_path(), error);
    if (error) return false;
    std::ofstream file(entryFile(), std::ios::trunc);
    file << "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Folioport\n"
            "Comment=Recently updated Confluence pages in the system tray\n"
         << execLine(command)
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

bool startThroughLauncher(const std::optional<std::filesystem::path>& bundle) {
    const std::vector<std::string> command = startCommand(bundle);
    if (command.size() == 1 || !isEnabled()) return true;
    // why: an entry is small; anything larger is not one this program wrote.
    auto text = readRegularFile(entryFile(), 64 << 10, false);
    const std::string direct = "\n" + execLine({runningExecutable().string()}) + "\n";
    const std::size_t at = text ? text->find(direct) : std::string::npos;
    if (at == std::string::npos) return true;
    text->replace(at, direct.size(), "\n" + execLine(command) + "\n");
    return replaceFileAtomically(entryFile(), *text).has_value();
}

bool setEnabled(bool enabled, std::vector<std::string> command) {
    if (enabled == isEnabled()) return true;
    if (enabled) return writeEntry(command.empty() ? startCommand(Bundle::location()) : command);
    std::error_code error;
    std::filesystem::remove(entryFile(), error);
    return !error;
}

}  // namespace folioport::platform::LoginItem
