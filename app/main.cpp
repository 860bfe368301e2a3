#include <iostream>
#include <string_view>

#include "mcp/StdioServer.h"

int main(int argc, char** argv) {
    // why: the choice is made before anything else runs, so MCP mode never touches the application.
    for (int index = 0; index < argc; ++index) {
        if (std::string_view(argv[index]) == "--mcp") return folioport::MCPServer::serveStandardStreams();
    }
    std::cout << "Folioport: the desktop application is not built yet; run \"Folioport --mcp\" to start the MCP "
                 "server for an AI coding assistant.\n";
    return 0;
}
