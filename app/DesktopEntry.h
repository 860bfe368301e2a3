#pragma once

namespace folioport {

/// The desktop part's shared library, opened by the executable in application mode only.
inline constexpr const char* desktopLibraryName = "libfolioport_desktop.so";
/// Its one exported function: runs the application and returns the process's exit status.
inline constexpr const char* desktopEntryName = "folioport_run_desktop";
using DesktopEntry = int (*)(int argc, char** argv);

}  // namespace folioport
