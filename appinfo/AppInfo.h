#pragma once

#include <string>
#include <vector>

namespace folioport {

/// One release of the changelog.
struct ChangelogEntry {
    std::string version;               ///< e.g. "1.0.1"
    std::string date;                  ///< the release date as written, e.g. "2026-09-15"
    std::vector<std::string> changes;  ///< one sentence per change, in display order
};

namespace AppInfo {

/// Every release, newest first; built once and shared, safe to read from any thread.
const std::vector<ChangelogEntry>& changelog();

/// CFBundleShortVersionString of the running bundle, else the newest changelog version, else "1.0.0".
/// Read afresh at every call.
std::string version();

/// CFBundleVersion of the running bundle, else "1".
std::string build();

}  // namespace AppInfo
}  // namespace folioport
