#pragma once

namespace folioport::MCPServer {

/// Runs the server on the process's standard input, output and error with the real version and
/// tools; each response line leaves in one write(2). Returns the exit status when input ends.
int serveStandardStreams();

}  // namespace folioport::MCPServer
