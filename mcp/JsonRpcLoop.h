#pragma once

#include <expected>
#include <functional>
#include <iosfwd>
#include <stop_token>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mcp/ToolError.h"

namespace folioport::MCPServer {

/// What the loop needs from outside, injected so tests can drive it with string streams.
struct Dependencies {
    /// The running version, asked at the ready line and at every "initialize".
    std::function<std::string()> version;
    /// Runs one tool call to completion on the calling thread; `stop` is requested when the client cancels the
    /// call or the input ends.
    std::function<std::expected<std::string, ToolFailure>(std::string_view tool, const nlohmann::json& arguments,
                                                          std::stop_token stop)>
        perform;
    /// Called once, when the first line has been handled (its answer sent): the moment to start work
    /// that the first answer should not wait for. May be empty.
    std::function<void()> afterFirstLine = {};
};

/// Writes one "[folioport-mcp] " line to `log` and flushes it.
void log(std::ostream& log, std::string_view message);

/// Logs the ready line, then reads one JSON-RPC message per line and answers each request with one
/// flushed line on `out`, in order, one call at a time, until end of input; returns the exit status, 0.
/// While a call runs (and from the first answer on) the input is read ahead on a thread of the loop's own, up
/// to 64 MB or 10,000 lines: a "notifications/cancelled" naming the running call stops it, one naming a
/// waiting request drops that; either is then never answered. The end of input stops the running call and
/// every later one, which are still answered.
int run(std::istream& in, std::ostream& out, std::ostream& log, const Dependencies& dependencies);

/// Reads one line (without its line feed) into `line`; a line longer than `longest` bytes is skipped
/// without being stored, leaving `line` empty, and answers true.
bool readLine(std::istream& in, std::string& line, std::size_t longest);

/// Handles one input line (its line ending already removed): answers, logs the unparsable-line
/// notice, or stays silent. Never throws for any input.
void handleLine(std::string_view line, std::ostream& out, std::ostream& log, const Dependencies& dependencies);

}  // namespace folioport::MCPServer
