#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace folioport {

/// What an external program left behind: its exit status and everything it wrote.
struct ToolResult {
    int status = 0;      ///< the exit status; 128 + signal when killed; -1 when it could not be started
    std::string output;  ///< standard output and standard error as one text; empty when not valid UTF-8
};

/// Runs `executable` with `arguments`, its standard output and error on one pipe, and waits for it.
/// A program that cannot be started gives status -1 and the reason as output.
ToolResult runTool(const std::string& executable, const std::vector<std::string>& arguments);

/// Starts `executable` with `arguments` and its output discarded, without waiting; -1 when it cannot start.
pid_t startTool(const std::string& executable, const std::vector<std::string>& arguments);

/// Waits for a child to end and gives its exit status, as ToolResult counts it.
int exitStatusOf(pid_t child);

}  // namespace folioport
