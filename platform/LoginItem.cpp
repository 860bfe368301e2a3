#include "platform/LoginItem.h"

#include <fstream>
#include <string>

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

bool writeEntry(const std::filesystem::path& executable) {
    std::error_code error;
    std::filesystem::create_directories(entryFile().parent_path(), error);
    if (error) return false;
    std::ofstream file(entryFile(), std::ios::trunc);
    file << "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Folioport\n"
            "Comment=Recently updated Confluence pages in the system tray\n"
            "Exec="
         << execArgument(executable.empty() ? runningExecutable().string() : executable.string())
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

bool setEnabled(bool enabled, const std::filesystem::path& executable) {
    if (enabled == isEnabled()) return true;
    if (enabled) return writeEntry(executable);
    std::error_code error;
    std::filesystem::remove(entryFile(), error);
    return !error;
}

}  // namespace folioport::platform::LoginItem
