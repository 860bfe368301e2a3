#include "mcp/Server.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <utility>
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

/// The "id" of a message: its value, and for a number that a double would change (too many digits,
/// out of range) the text the client wrote, which is echoed instead.
struct RequestId {
    const json* value = nullptr;  ///< absent for a notification without "id"
    std::optional<std::string> text;
};

bool isRequest(const RequestId& id) { return id.value != nullptr && !id.value->is_null(); }

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
void respondWith(std::ostream& out, const RequestId& id, std::string_view member, json value) {
    if (!isRequest(id)) return;
    json response = json::object();
    response["jsonrpc"] = "2.0";
    if (!id.text) response["id"] = *id.value;
    response[std::string(member)] = std::move(value);
    std::string line = response.dump(-1, ' ', /*ensure_ascii=*/false, json::error_handler_t::replace);
    if (id.text) line.insert(1, "\"id\":" + *id.text + ",");
    writeLine(out, std::move(line));
}

void respond(std::ostream& out, const RequestId& id, json result) { respondWith(out, id, "result", std::move(result)); }

void respond(std::ostream& out, const RequestId& id, int code, std::string message) {
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

void callTool(std::ostream& out, const RequestId& id, const json& params, const Dependencies& dependencies) {
    std::expected<std::string, ToolFailure> outcome;
    try {
        outcome = dependencies.perform(stringMember(params, "name"), objectMember(params, "arguments"));
    } catch (const std::exception& error) {
        // why: a tool's bug must still give the client its answer and leave the loop running.
        outcome = std::unexpected(ToolError::failedInternally(error.what()));
    }
    if (outcome) respond(out, id, toolResult(std::move(*outcome), false));
    else respond(out, id, toolResult(describe(outcome.error()), true));
}

/// A parsed line: the value (discarded when the line is no JSON) and the text of a number "id".
struct Message {
    json value;
    std::optional<std::string> idText;
};

void handle(const Message& parsed, std::ostream& out, const Dependencies& dependencies) {
    const json& message = parsed.value;
    const auto idMember = message.find("id");
    const RequestId id{idMember != message.end() ? &*idMember : nullptr, parsed.idText};
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

/// The text with each lone surrogate escape (a high one not followed by a low one, or a low one
/// alone) replaced by \uFFFD, as a cut emoji comes from some clients; the parser would refuse it.
std::string withLoneSurrogatesReplaced(std::string_view text) {
    auto escapeAt = [&](std::size_t at) -> std::optional<unsigned> {  // the value of "\uXXXX" at `at`
        unsigned value = 0;
        if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return std::nullopt;
        const auto [end, error] = std::from_chars(text.data() + at + 2, text.data() + at + 6, value, 16);
        if (error != std::errc{} || end != text.data() + at + 6) return std::nullopt;
        return value;
    };
    auto isHigh = [](unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    auto isLow = [](unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inString || c != '\\') {
            if (c == '"') inString = !inString;
            out += c;
            continue;
        }
        const std::optional<unsigned> unit = escapeAt(i);
        if (!unit) {  // another escape: keep it whole, so an escaped quote does not end the string
            out.append(text.substr(i, 2));
            ++i;
            continue;
        }
        const std::optional<unsigned> next = escapeAt(i + 6);
        if (isHigh(*unit) && next && isLow(*next)) {
            out.append(text.substr(i, 12));
            i += 11;
        } else {
            out.append(isHigh(*unit) || isLow(*unit) ? std::string_view("\\uFFFD") : text.substr(i, 6));
            i += 5;
        }
    }
    return out;
}

/// Builds the value as the library's own parser does, and keeps the text of a top-level "id" that
/// is read as a floating-point number.
/// why: an id like 12345678901234567890123 or 0.10000000000000000001 would come back changed from a double.
class MessageBuilder {
public:
    explicit MessageBuilder(Message& message) : message_(message), dom_(message.value, false) {}

    bool null() { return dom_.null(); }
    bool boolean(bool value) { return dom_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return dom_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return dom_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const std::string& text) {
        if (depth_ == 1 && inId_) message_.idText = text;
        return dom_.number_float(value, text);
    }
    bool string(std::string& value) { return dom_.string(value); }
    bool binary(json::binary_t& value) { return dom_.binary(value); }
    bool start_object(std::size_t size) { return ++depth_, dom_.start_object(size); }
    bool key(std::string& name) {
        if (depth_ == 1) {
            inId_ = name == "id";
            if (inId_) message_.idText.reset();  // a later "id" replaces an earlier one, as in the value
        }
        return dom_.key(name);
    }
    bool end_object() { return --depth_, dom_.end_object(); }
    bool start_array(std::size_t size) { return ++depth_, dom_.start_array(size); }
    bool end_array() { return --depth_, dom_.end_array(); }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
        return dom_.parse_error(position, token, error);
    }

private:
    Message& message_;
    // why: the library's own value builder, so every value comes out exactly as json::parse makes it.
    nlohmann::detail::json_sax_dom_parser<json> dom_;
    int depth_ = 0;
    bool inId_ = false;
};

/// The line as a JSON object, or a discarded value when it is anything else.
Message parseMessage(std::string_view line) {
    std::string text;
    Utf8::appendRepaired(text, line);
    Message message;
    if (nestsTooDeep(text)) return Message{json(json::value_t::discarded), {}};
    MessageBuilder builder(message);
    if (!json::sax_parse(withLoneSurrogatesReplaced(text), &builder))
        return Message{json(json::value_t::discarded), {}};
    return message;
}

}  // namespace

void log(std::ostream& log, std::string_view message) { writeLine(log, std::string(logPrefix) + std::string(message)); }

void handleLine(std::string_view line, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    const std::string_view trimmed = Utf8::trim(line, Utf8::isWhiteSpace);
    if (trimmed.empty()) return;
    const Message message = parseMessage(trimmed);
    if (!message.value.is_object()) {
        MCPServer::log(log, "ignoring unparsable line");
        return;
    }
    handle(message, out, dependencies);
}

int run(std::istream& in, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    MCPServer::log(log, "ready (Folioport " + dependencies.version() + ")");
    bool first = true;
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        handleLine(line, out, log, dependencies);
        if (std::exchange(first, false) && dependencies.afterFirstLine) dependencies.afterFirstLine();
    }
    return 0;
}

}  // namespace folioport::MCPServer
