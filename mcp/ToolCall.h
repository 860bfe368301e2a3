#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <stop_token>
#include <string>

#include <nlohmann/json.hpp>

#include "confluence/ConfluenceClient.h"
#include "storage/BodyFormat.h"
#include "mcp/Settings.h"
#include "mcp/ToolError.h"

namespace folioport::MCPServer {

/// Everything one tool operation works with; built afresh for every call.
struct ToolCall {
    const ConfluenceClient& client;
    const Settings& settings;
    const nlohmann::json& arguments;
    std::chrono::system_clock::time_point now;  ///< the reference for "today" and "n days ago"
    std::stop_token stop;                       ///< cancels the request in flight (the client went away)
};

/// A tool's answer text, or why it failed.
using ToolResult = std::expected<std::string, ToolFailure>;

/// The space a tool works in: an explicit "spaceKey" string argument wins (blank meaning none),
/// else the configured default space; absent when the chosen text is blank.
std::optional<std::string> spaceKey(const nlohmann::json& arguments, const Settings& settings);

/// Reads a "format" value: blank or absent gives fallback; the aliases text/plain/plaintext/
/// markdown and storage/xhtml/html are matched without regard to case.
std::expected<BodyFormat, ToolError> bodyFormat(const std::optional<std::string>& value, BodyFormat fallback);

/// The page picked by "pageId" (preferred; an id or a page link) or by "title" in a space, read with its
/// storage body.
std::expected<Page, ToolFailure> resolvePage(const ToolCall& call);

/// Title line, "id · version · updated" line and web address of a page, without a trailing line feed.
std::string header(const Page& page, const ToolCall& call);

}  // namespace folioport::MCPServer
