#include "mcp/Server.h"

#include <algorithm>
#include <array>
#include <istream>
#include <ostream>

#include "mcp/ToolCatalogue.h"
#include "storage/Utf8.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

constexpr std::string_view logPrefix = "[folioport-mcp] ";
constexpr int methodNotFound = -32601;
constexpr std::array supportedProtocolVersions{"2025-06-18", "2025-03-26", "2024-11-05"};
constexpr std::string_view fallbackProtocolVersion = "2024-11-05";
// why: deeper JSON is no real message, and the library's recursive serialiser (and any
// recursive walk of the value) could exhaust the stack on it.
constexpr std::size_t deepestNesting = 512;

void writeLine(std::ostream& stream, std::string line) {
    line += '\n';
    stream.write(line.data(), static_cast<std::streamsize>(line.size()));
    stream.flush();
}

void logLine(std::ostream& stream, std::string_view message) {
    writeLine(stream, std::string(logPrefix) + std::string(message));
}

bool isRequest(const json* id) { return id != nullptr && !id->is_null(); }

/// The member when it is an object, else an empty object; neither is copied.
const json& objectMember(const json& object, std::string_view key) {
    static const json empty = json::object();
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : empty;
}

/// The member when it is a string, else "".
std::string stringMember(const json& object, std::string_view key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string{};
}

/// Writes one response line, unless the message was a notification.
/// why: strings are not checked for valid UTF-8 anywhere upstream (a page body, a tool name), so
/// ill-formed bytes become U+FFFD here rather than failing the serialisation and leaving the
/// client waiting for an answer that never comes.
void respondWith(std::ostream& out, const json* id, std::string_view member, json value) {
    if (!isRequest(id)) return;
    json response = json::object();
    response["jsonrpc"] = "2.0";
    response["id"] = *id;
    response[std::string(member)] = std::move(value);
    writeLine(out, response.dump(-1, ' ', /*ensure_ascii=*/false, json::error_handler_t::replace));
}

void respond(std::ostream& out, const json* id, json result) { respondWith(out, id, "result", std::move(result)); }

void respond(std::ostream& out, const json* id, int code, std::string message) {
    respondWith(out, id, "error", json{{"code", code}, {"message", std::move(message)}});
}

json initializeResult(const json& params, const Dependencies& dependencies) {
    std::string protocolVersion = stringMember(params, "protocolVersion");
    if (std::ranges::find(supportedProtocolVersions, protocolVersion) == supportedProtocolVersions.end())
        protocolVersion = fallbackProtocolVersion;
    return json{
        {"protocolVersion", protocolVersion},
        {"capabilities", {{"tools", {{"listChanged", false}}}}},
        {"serverInfo", {{"name", "folioport"}, {"version", dependencies.version()}}},
    };
}

json toolResult(std::string text, bool isError) {
    json result{{"content", json::array({json{{"type", "text"}, {"text", std::move(text)}}})}};
    if (isError) result["isError"] = true;
    return result;
}

void callTool(std::ostream& out, const json* id, const json& params, const Dependencies& dependencies) {
    std::expected<std::string, ToolFailure> outcome;
    try {
        outcome = dependencies.perform(stringMember(params, "name"), objectMember(params, "arguments"));
    } catch (const std::exception& error) {
        // why: a tool's bug must still give the client its answer and leave the loop running.
        outcome = std::unexpected(ToolError{error.what()});
    }
    if (outcome) respond(out, id, toolResult(std::move(*outcome), false));
    else respond(out, id, toolResult(describe(outcome.error()), true));
}

void handle(const json& message, std::ostream& out, const Dependencies& dependencies) {
    const auto idMember = message.find("id");
    const json* id = idMember != message.end() ? &*idMember : nullptr;
    const std::string method = stringMember(message, "method");
    const json& params = objectMember(message, "params");

    if (method == "initialize") respond(out, id, initializeResult(params, dependencies));
    else if (method == "tools/list") respond(out, id, json{{"tools", toolDefinitions()}});
    else if (method == "tools/call") callTool(out, id, params, dependencies);
    else if (method == "ping") respond(out, id, json::object());
    else respond(out, id, methodNotFound, "Method not found: " + method);
}

/// True when arrays and objects nest deeper than deepestNesting, brackets inside strings aside.
bool nestsTooDeep(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepestNesting) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

/// The line as a JSON object, or a discarded value when it is anything else.
json parseMessage(std::string_view line) {
    std::string text;
    Utf8::appendRepaired(text, line);
    if (nestsTooDeep(text)) return json(json::value_t::discarded);
    return json::parse(text, nullptr, /*allow_exceptions=*/false);
}

}  // namespace

void handleLine(std::string_view line, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    const std::string_view trimmed = Utf8::trim(line, Utf8::isWhiteSpace);
    if (trimmed.empty()) return;
    const json message = parseMessage(trimmed);
    if (!message.is_object()) {
        logLine(log, "ignoring unparsable line");
        return;
    }
    handle(message, out, dependencies);
}

int run(std::istream& in, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    logLine(log, "ready (Folioport " + dependencies.version() + ")");
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        handleLine(line, out, log, dependencies);
    }
    return 0;
}

}  // namespace folioport::MCPServer
