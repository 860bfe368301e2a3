#include "mcp/JsonRpcLoop.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <istream>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>

#include "mcp/ToolCatalogue.h"
#include "platform/JsonEvents.h"
#include "platform/JsonText.h"
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
/// The longest line read; the rest of a longer one is skipped unread.
constexpr std::size_t longestLine = std::size_t{64} << 20;
/// How much input is read ahead while a call runs; past either bound reading waits for the loop to catch up.
constexpr std::size_t mostWaitingBytes = std::size_t{64} << 20;
constexpr std::size_t mostWaitingLines = 10'000;

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

bool isRequest(const json* id) { return id != nullptr && !id->is_null(); }
bool isRequest(const RequestId& id) { return isRequest(id.value); }

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

/// A parsed line: the value (discarded when the line is no JSON) and the text of a number "id".
struct Message {
    json value;
    std::optional<std::string> idText;
};

/// Stand-ins for numbers a double cannot hold ("1e400"): a text no client writes for a finite value, with the
/// index of the original literal. why: the parser refuses such a number, which would leave its request unanswered.
std::string standIn(std::size_t index) { return "-0.0e-" + std::to_string(1'000'000 + index); }
constexpr std::size_t mostStandIns = 16;

/// Builds the part of a message the server reads — "id" whole, "method", and of "params" the
/// "protocolVersion", "name", "requestId" and the plain values of "arguments" (an array or object there is kept empty) —
/// and keeps the text of a top-level "id" that is read as a floating-point number. Everything else is
/// parsed but never stored, so memory follows what is kept, not the length of the line.
/// why: an id like 12345678901234567890123 or 0.10000000000000000001 would come back changed from a double.
class MessageBuilder : public platform::JsonEvents<MessageBuilder> {
public:
    MessageBuilder(Message& message, const std::vector<std::string>& replacedNumbers)
        : message_(message), replacedNumbers_(replacedNumbers) {}

    bool number_float(json::number_float_t value, const std::string& text) {
        if (frames_.size() == 1 && skipping_ == 0 && key_ == "id") message_.idText = original(text);
        return place(json(value));
    }
    bool key(std::string& name) {
        if (skipping_ > 0) return true;
        key_ = std::move(name);
        if (frames_.size() == 1 && key_ == "id") message_.idText.reset();  // a later "id" replaces an earlier one
        return true;
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
        // why: 406 is the parser's "number overflow"; the caller puts a stand-in there and parses again.
        if (error.id == 406) overflow_ = {position, token};
        return false;
    }

    /// The end position and text of a number that overflowed a double, when that stopped the parse.
    const std::optional<std::pair<std::size_t, std::string>>& overflow() const { return overflow_; }

private:
    friend JsonEvents<MessageBuilder>;

    /// Which members of a container are kept, and how.
    enum class Scope { message, params, arguments, whole };
    struct Frame {
        json* container;
        Scope scope;
    };

    /// What a value under `key_` of the innermost container is kept as; absent when it is not kept.
    std::optional<Scope> childScope() const {
        if (frames_.empty()) return Scope::message;
        const Frame& frame = frames_.back();
        switch (frame.scope) {
        case Scope::message:
            if (key_ == "id") return Scope::whole;
            if (key_ == "method") return Scope::arguments;
            if (key_ == "params") return Scope::params;
            return std::nullopt;
        case Scope::params:
            if (key_ == "arguments") return Scope::arguments;
            if (key_ == "protocolVersion" || key_ == "name") return Scope::arguments;
            if (key_ == "requestId") return Scope::whole;  // of a cancel notification
            return std::nullopt;
        case Scope::arguments: return Scope::arguments;
        case Scope::whole: return Scope::whole;
        }
        return std::nullopt;
    }

    json* slot() {
        if (frames_.empty()) return &message_.value;
        json& container = *frames_.back().container;
        if (container.is_array()) return &container.emplace_back();
        return &container[key_];
    }

    bool place(json value) {
        if (skipping_ > 0 || !childScope()) return true;
        if (frames_.empty() || frames_.back().scope == Scope::whole) ++idValues_;
        *slot() = std::move(value);
        return idValues_ <= mostIdValues;
    }

    bool open(json container) {
        if (++depth_ > deepestNesting) return false;
        if (skipping_ > 0) return ++skipping_, true;
        const std::optional<Scope> scope = childScope();
        if (!scope) return ++skipping_, true;
        // why: no tool reads a nested argument; only its presence and type count, so it is kept empty.
        const bool keepsMembers = *scope == Scope::whole || frames_.empty() ||
                                  (container.is_object() && frames_.back().scope != Scope::arguments);
        json* target = slot();
        *target = std::move(container);
        if (!keepsMembers) return ++skipping_, true;
        if (*scope == Scope::whole && ++idValues_ > mostIdValues) return false;
        frames_.push_back({target, frames_.empty() ? Scope::message : *scope});
        return true;
    }

    bool close() {
        --depth_;
        if (skipping_ > 0) return --skipping_, true;
        frames_.pop_back();
        return true;
    }

    std::string original(const std::string& text) const {
        for (std::size_t i = 0; i < replacedNumbers_.size(); ++i)
            if (text == standIn(i)) return replacedNumbers_[i];
        return text;
    }

    static constexpr std::size_t mostIdValues = 10'000;  // an id is a string or number; a structured one stays small

    Message& message_;
    const std::vector<std::string>& replacedNumbers_;
    std::vector<Frame> frames_;
    std::string key_;
    std::size_t skipping_ = 0;  // depth inside a value that is not kept
    std::size_t depth_ = 0;
    std::size_t idValues_ = 0;
    std::optional<std::pair<std::size_t, std::string>> overflow_;
};

/// The line as a JSON object, or a discarded value when it is anything else.
Message parseMessage(std::string_view line) {
    std::string text;
    if (Utf8::isValid(line)) text = line;
    else Utf8::appendRepaired(text, line);
    if (std::optional<std::string> repaired = platform::withLoneSurrogatesReplaced(text)) text = std::move(*repaired);
    std::vector<std::string> replacedNumbers;
    for (;;) {
        Message message;
        MessageBuilder builder(message, replacedNumbers);
        if (json::sax_parse(text, &builder)) return message;
        const auto& overflow = builder.overflow();
        if (!overflow || replacedNumbers.size() == mostStandIns || overflow->first < overflow->second.size() ||
            std::string_view(text).substr(overflow->first - overflow->second.size(), overflow->second.size()) !=
                overflow->second)
            return Message{json(json::value_t::discarded), {}};
        text.replace(overflow->first - overflow->second.size(), overflow->second.size(),
                     standIn(replacedNumbers.size()));
        replacedNumbers.push_back(overflow->second);
    }
}

/// One line of input as the loop takes it: the message (a discarded value when the line is no JSON object), or
/// a line too long to read.
struct Incoming {
    Message message;
    bool tooLong = false;
    std::size_t bytes = 0;  ///< the line's length, held while it waits
};

/// The next line that is not blank, or absent at the end of input.
std::optional<Incoming> readIncoming(std::istream& in) {
    for (std::string line; in.peek() != std::char_traits<char>::eof();) {
        if (readLine(in, line, longestLine)) return Incoming{.message = {}, .tooLong = true, .bytes = 0};
        if (line.ends_with('\r')) line.pop_back();
        const std::string_view trimmed = Utf8::trim(line, Utf8::isWhiteSpace);
        if (!trimmed.empty()) return Incoming{.message = parseMessage(trimmed), .tooLong = false, .bytes = line.size()};
    }
    return std::nullopt;
}

const json* idOf(const Message& message) {
    if (!message.value.is_object()) return nullptr;
    const auto found = message.value.find("id");
    return found != message.value.end() ? &*found : nullptr;
}

/// The request id a "notifications/cancelled" names, when the message is one.
std::optional<json> cancelledId(const Message& message) {
    if (!message.value.is_object() || isRequest(idOf(message)) ||
        stringMember(message.value, "method") != "notifications/cancelled")
        return std::nullopt;
    const json& params = objectMember(message.value, "params");
    const auto requestId = params.find("requestId");
    if (requestId == params.end() || requestId->is_null()) return std::nullopt;
    return *requestId;
}

/// The input as the loop takes it, one line after the other. Once reading ahead has begun, a thread of its own
/// reads while a call runs: a cancel that names the running call stops it, one that names a waiting request
/// drops that request, and every other line waits its turn. The end of input stops the running call and every
/// later one (they are still answered, as stopped).
class Inbox {
public:
    explicit Inbox(std::istream& in) : in_(in) {}

    /// Starts the reading thread, once. Until then next() reads on the calling thread.
    void readAhead() {
        if (!reader_.joinable()) reader_ = std::jthread([this] { readUntilEnd(); });
    }

    /// The next line in input order; absent once the input has ended and nothing waits.
    std::optional<Incoming> next() {
        if (!reader_.joinable()) return readIncoming(in_);
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [this] { return !waiting_.empty() || ended_; });
        if (waiting_.empty()) return std::nullopt;
        Incoming incoming = std::move(waiting_.front());
        waiting_.pop_front();
        waitingBytes_ -= incoming.bytes;
        room_.notify_one();
        return incoming;
    }

    /// Marks the request `id` as running; the token stops when a cancel names it or the input ends.
    std::stop_token startCall(const json& id) {
        std::lock_guard lock(mutex_);
        running_.emplace(Running{id, {}, false});
        if (ended_) running_->stop.request_stop();
        return running_->stop.get_token();
    }

    /// Ends the running call; true when a cancel named it, so that its answer is not sent.
    bool finishCall() {
        std::lock_guard lock(mutex_);
        const bool cancelled = running_ && running_->cancelled;
        running_.reset();
        return cancelled;
    }

private:
    struct Running {
        json id;
        std::stop_source stop;
        bool cancelled;
    };

    void readUntilEnd() {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                room_.wait(lock, [this] {
                    return waiting_.empty() || (waitingBytes_ < mostWaitingBytes && waiting_.size() < mostWaitingLines);
                });
            }
            std::optional<Incoming> incoming = readIncoming(in_);
            std::lock_guard lock(mutex_);
            if (!incoming) {
                ended_ = true;
                if (running_) running_->stop.request_stop();
                arrived_.notify_one();
                return;
            }
            if (const std::optional<json> id = cancelledId(incoming->message)) {
                cancel(*id);
                continue;
            }
            waitingBytes_ += incoming->bytes;
            waiting_.push_back(std::move(*incoming));
            arrived_.notify_one();
        }
    }

    /// Stops the running call when it is `id`, else drops the first waiting request with that id. Holds the lock.
    void cancel(const json& id) {
        if (running_ && running_->id == id) {
            running_->cancelled = true;
            running_->stop.request_stop();
            return;
        }
        const auto waiting = std::ranges::find_if(waiting_, [&](const Incoming& incoming) {
            const json* waitingId = idOf(incoming.message);
            return isRequest(waitingId) && *waitingId == id;
        });
        if (waiting == waiting_.end()) return;
        waitingBytes_ -= waiting->bytes;
        waiting_.erase(waiting);
    }

    std::istream& in_;
    std::mutex mutex_;
    std::condition_variable arrived_, room_;
    std::deque<Incoming> waiting_;
    std::size_t waitingBytes_ = 0;
    bool ended_ = false;
    std::optional<Running> running_;
    std::jthread reader_;  // last: it stops reading before the rest goes
};

/// Runs one call; `inbox`, when given, may stop it, and a cancelled call is not answered, as the protocol asks.
void callTool(std::ostream& out, const RequestId& id, const json& params, const Dependencies& dependencies,
              Inbox* inbox) {
    const std::stop_token stop = inbox ? inbox->startCall(*id.value) : std::stop_token{};
    std::expected<std::string, ToolFailure> outcome;
    try {
        outcome = dependencies.perform(stringMember(params, "name"), objectMember(params, "arguments"), stop);
    } catch (const std::exception& error) {
        // why: a tool's bug must still give the client its answer and leave the loop running.
        outcome = std::unexpected(ToolError::failedInternally(error.what()));
    }
    if (inbox && inbox->finishCall()) return;
    if (outcome) respond(out, id, toolResult(std::move(*outcome), false));
    else respond(out, id, toolResult(describe(outcome.error()), true));
}

void handle(const Message& parsed, std::ostream& out, std::ostream& log, const Dependencies& dependencies,
            Inbox* inbox) {
    if (!parsed.value.is_object()) {
        MCPServer::log(log, "ignoring unparsable line");
        return;
    }
    const json& message = parsed.value;
    const auto idMember = message.find("id");
    const RequestId id{idMember != message.end() ? &*idMember : nullptr, parsed.idText};
    const std::string method = stringMember(message, "method");
    const json& params = objectMember(message, "params");

    if (method == "initialize") respond(out, id, initializeResult(params, dependencies));
    else if (method == "tools/list") respond(out, id, json{{"tools", toolDefinitions()}});
    // why: a call no one awaits an answer to must not change pages unseen; requests carry an id.
    else if (method == "tools/call" && !isRequest(id)) MCPServer::log(log, "ignoring a tools/call without an id");
    else if (method == "tools/call") callTool(out, id, params, dependencies, inbox);
    else if (method == "ping") respond(out, id, json::object());
    else respond(out, id, methodNotFound, "Method not found: " + method);
}

}  // namespace

void log(std::ostream& log, std::string_view message) { writeLine(log, std::string(logPrefix) + std::string(message)); }

void handleLine(std::string_view line, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    const std::string_view trimmed = Utf8::trim(line, Utf8::isWhiteSpace);
    if (trimmed.empty()) return;
    handle(parseMessage(trimmed), out, log, dependencies, nullptr);
}

bool readLine(std::istream& in, std::string& line, std::size_t longest) {
    line.clear();
    bool tooLong = false;
    std::array<char, 1 << 16> chunk;
    for (;;) {
        in.getline(chunk.data(), chunk.size());
        const auto count = static_cast<std::size_t>(in.gcount());
        const bool sawLineFeed = !in.fail() && !in.eof();
        const std::size_t kept = count - (sawLineFeed ? 1 : 0);
        if (!tooLong && line.size() + kept <= longest) line.append(chunk.data(), kept);
        else tooLong = true;
        if (sawLineFeed || in.eof()) break;
        in.clear();  // the chunk was full, the line goes on
    }
    if (tooLong) line.clear();
    return tooLong;
}

int run(std::istream& in, std::ostream& out, std::ostream& log, const Dependencies& dependencies) {
    MCPServer::log(log, "ready (Folioport " + dependencies.version() + ")");
    Inbox inbox(in);
    bool first = true;
    while (std::optional<Incoming> incoming = inbox.next()) {
        // why: reading ahead starts only after the first answer, which no thread start should delay, or before a
        // call, during which a cancel or the input's end must be seen.
        if (stringMember(incoming->message.value, "method") == "tools/call") inbox.readAhead();
        if (incoming->tooLong) MCPServer::log(log, "ignoring a line longer than " + std::to_string(longestLine >> 20) + " MB");
        else handle(incoming->message, out, log, dependencies, &inbox);
        if (!std::exchange(first, false)) continue;
        inbox.readAhead();
        if (dependencies.afterFirstLine) dependencies.afterFirstLine();
    }
    return 0;
}

}  // namespace folioport::MCPServer
