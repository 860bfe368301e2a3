#pragma once

#include <expected>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mcp/ToolError.h"

namespace folioport::MCPServer {

/// What the loop needs from outside, injected so tests can drive it with string streams.
struct Dependencies {
    /// The running version, asked at the ready line and at every "initialize".
    std::function<std::string()> version;
    /// Runs one tool call to completion on the calling thread.
    std::function<std::expected<std::string, ToolFailure>(std::string_view tool, const nlohmann::json& arguments)>
        perform;
    /// Called once, when the first line has been handled (its answer sent): the moment to start work
    /// that the first answer should not wait for. May be empty.
    std::function<void()> afterFirstLine = {};
};

/// Writes one "[folioport-mcp] " line to `log` and flushes it.
void log(std::ostream& log, std::string_view message);

/// Logs the ready line, then reads one JSON-RPC message per line and answers each request with one
/// flushed line on `out`, in order, until end of input; returns the exit status, 0.
int run(std::istream& in, std::ostream& out, std::ostream& log, const Dependencies& dependencies);

/// Reads one line (without its line feed) into `line`; a line longer than `longest` bytes is skipped
/// without being stored, leaving `line` empty, and answers true.
bool readLine(std::istream& in, std::string& line, std::size_t longest);

/// Handles one input line (its line ending already removed): answers, logs the unparsable-line
/// notice, or stays silent. Never throws for any input.
void handleLine(std::string_view line, std::ostream& out, std::ostream& log, const Dependencies& dependencies);

}  // namespace folioport::MCPServer
