#include "appinfo/AppInfo.h"

#include "platform/Bundle.h"

namespace folioport::AppInfo {

const std::vector<ChangelogEntry>& changelog() {
    static const std::vector<ChangelogEntry> entries{
        {"1.0.1", "2026-09-15",
         {"The app has an icon now — a pair of pages on a blue tile — shown in the application list, the taskbar "
          "(while a window is open), the window switcher and this window."}},
        {"1.0.0", "2026-09-15",
         {
             "Tray app listing the most recently updated Confluence pages, per space or across all of them.",
             "Connect with your Atlassian email + API token; the token is stored in the desktop keyring.",
             "Create, edit and trash pages from the app — the editor works in Confluence storage format, or plain "
             "text for new pages.",
             "Search any space by text and jump straight into the editor or the browser.",
             "Built-in MCP server: create, read, update and delete the same pages from Claude Code with "
             "`Folioport --mcp`.",
             "Auto-updates in the background, same mechanism as Ticketport.",
         }},
    };
    return entries;
}

std::string version() {
    if (auto bundled = platform::Bundle::infoString("CFBundleShortVersionString")) return *bundled;
    if (!changelog().empty()) return changelog().front().version;
    return "1.0.0";
}

std::string build() {
    return platform::Bundle::infoString("CFBundleVersion").value_or("1");
}

}  // namespace folioport::AppInfo
