#include <dlfcn.h>

#include <iostream>
#include <string>
#include <string_view>

#include "app/DesktopEntry.h"
#include "mcp/StdioServer.h"
#include "platform/Posix.h"

namespace {

/// Opens the desktop part and runs it. why: the executable links the core only, so the MCP mode
/// loads no Qt library at all; Qt comes in with this library, found beside the executable in a
/// bundle (Contents/bin → Contents/lib) or in a build tree (the same folder).
int runDesktop(int argc, char** argv) {
    const auto folder = folioport::platform::runningExecutable().parent_path();
    std::string problems;
    for (const auto& candidate : {folder.parent_path() / "lib" / folioport::desktopLibraryName,
                                  folder / folioport::desktopLibraryName}) {
        if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            auto* entry = reinterpret_cast<folioport::DesktopEntry>(dlsym(library, folioport::desktopEntryName));
            if (entry) return entry(argc, argv);
            problems += std::string("\n  ") + candidate.string() + ": no entry point";
        } else {
            problems += std::string("\n  ") + dlerror();
        }
    }
    std::cerr << "Folioport: the desktop part " << folioport::desktopLibraryName
              << " could not be loaded, so only \"Folioport --mcp\" works from this copy:" << problems << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // why: the choice is made before anything else runs, so MCP mode never touches the application.
    for (int index = 0; index < argc; ++index) {
        if (std::string_view(argv[index]) == "--mcp") return folioport::MCPServer::serveStandardStreams();
    }
    return runDesktop(argc, argv);
}
