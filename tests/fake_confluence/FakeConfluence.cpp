#include "FakeConfluence.h"

#include <filesystem>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

namespace folioport::fake {
namespace {

using nlohmann::json;

void countHandshake(const SSL* ssl, int where, int /*ret*/) {
    if (!(where & SSL_CB_HANDSHAKE_DONE)) return;
    auto* counters = static_cast<FakeConfluence::HandshakeCounters*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    ++counters->total;
    if (SSL_session_reused(ssl)) ++counters->resumed;
}

/// The raw path and the decoded query items of a request target.
std::pair<std::string, QueryItems> splitTarget(std::string_view target) {
    std::size_t question = target.find('?');
    if (question == std::string_view::npos) return {std::string(target), {}};
    return {std::string(target.substr(0, question)), parseQuery(target.substr(question + 1))};
}

/// Ends every accepted connection of this process on `port`, so idle keep-alive waits end at once.
void shutDownConnections(int port) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
        int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 && local.sin_family == AF_INET &&
            ntohs(local.sin_port) == port)
            shutdown(fd, SHUT_RDWR);
    }
}

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

}  // namespace

json LoggedRequest::toJson() const {
    json items = json::array();
    for (const auto& [name, value] : query) items.push_back(json::array({name, value}));
    return {{"method", method}, {"path", path}, {"query", items}, {"authorization", authorization}, {"body", body}};
}

std::expected<Fault, std::string> Fault::fromJson(const json& json) {
    if (!json.is_object()) return std::unexpected("a fault is a JSON object");
    Fault fault;
    static const std::pair<std::string_view, Kind> kinds[] = {{"status", Kind::status},
                                                              {"malformed-json", Kind::malformedJson},
                                                              {"non-utf8", Kind::nonUtf8Body},
                                                              {"empty", Kind::emptyBody},
                                                              {"drop", Kind::dropConnection}};
    std::string kind = json.value("kind", "status");
    auto match = std::ranges::find(kinds, kind, &std::pair<std::string_view, Kind>::first);
    if (match == std::end(kinds)) return std::unexpected("unknown fault kind \"" + kind + "\"");
    fault.kind = match->second;
    try {
        fault.status = json.value("status", fault.status);
        fault.body = json.value("body", "");
        fault.method = json.value("method", "");
        fault.pathPrefix = json.value("path", "");
        fault.count = json.value("count", 1);
    } catch (const nlohmann::json::exception& error) {
        return std::unexpected(std::string("bad fault field: ") + error.what());
    }
    if (fault.status < 100 || fault.status > 599) return std::unexpected("status must be 100-599");
    return fault;
}

std::expected<std::unique_ptr<FakeConfluence>, std::string> FakeConfluence::start(SiteData data, FakeOptions options) {
    std::unique_ptr<FakeConfluence> site(new FakeConfluence(std::move(data), std::move(options)));
    if (!site->server_->is_valid()) return std::unexpected("the TLS certificate or key could not be loaded");
    if (!site->options_.logFile.empty()) {
        site->logFile_.open(site->options_.logFile, std::ios::app);
        if (!site->logFile_) return std::unexpected("cannot open the log file " + site->options_.logFile);
    }
    auto& server = *site->server_;
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_keep_alive_max_count(10000);
    server.set_keep_alive_timeout(2);
    server.set_tcp_nodelay(true);
    // why: one catch-all per method, because routing must see the raw, still-encoded path.
    auto handler = [raw = site.get()](const httplib::Request& request, httplib::Response& response) {
        raw->handle(request, response);
    };
    server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Delete(".*", handler).Patch(".*", handler);
    if (site->options_.port == 0) {
        site->port_ = server.bind_to_any_port("127.0.0.1");
    } else if (server.bind_to_port("127.0.0.1", site->options_.port)) {
        site->port_ = site->options_.port;
    }
    if (site->port_ <= 0) return std::unexpected("cannot bind 127.0.0.1:" + std::to_string(site->options_.port));
    site->thread_ = std::thread([&server, raw = site.get()] {
        server.listen_after_bind();
        raw->listenEnded_ = true;
    });
    // why: stop() does nothing until the listen loop runs, so a site destroyed at once would never stop.
    while (!server.is_running() && !site->listenEnded_) std::this_thread::yield();
    return site;
}

FakeConfluence::FakeConfluence(SiteData data, FakeOptions options) : options_(std::move(options)), api_(std::move(data)) {
    if (options_.tls) {
        auto tls = std::make_unique<httplib::SSLServer>(options_.tls->certificateFile.c_str(),
                                                        options_.tls->privateKeyFile.c_str());
        if (tls->is_valid()) {
            SSL_CTX_set_app_data(tls->ssl_context(), &handshakes_);
            SSL_CTX_set_info_callback(tls->ssl_context(), countHandshake);
        }
        server_ = std::move(tls);
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
}

FakeConfluence::~FakeConfluence() {
    stopping_ = true;
    server_->stop();
    // why: the server would otherwise wait out the keep-alive time of every connection a client pools.
    if (port_ > 0) shutDownConnections(port_);
    if (thread_.joinable()) thread_.join();
}

std::string FakeConfluence::baseURL() const {
    return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<LoggedRequest> FakeConfluence::requests() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void FakeConfluence::clearRequests() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

void FakeConfluence::inject(Fault fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(std::move(fault));
}

void FakeConfluence::setLatency(std::chrono::milliseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = latency;
}

void FakeConfluence::setNextLinkStyle(NextLinkStyle style) {
    std::lock_guard lock(mutex_);
    api_.setNextLinkStyle(style);
}

std::optional<Fault> FakeConfluence::takeFault(const LoggedRequest& request) {
    auto it = std::ranges::find_if(faults_, [&](const Fault& fault) {
        return (fault.method.empty() || fault.method == request.method) && request.path.starts_with(fault.pathPrefix);
    });
    if (it == faults_.end()) return std::nullopt;
    Fault fault = *it;
    if (--it->count <= 0) faults_.erase(it);
    return fault;
}

void FakeConfluence::record(const LoggedRequest& request) {
    log_.push_back(request);
    if (logFile_.is_open()) logFile_ << request.toJson().dump() << '\n' << std::flush;
}

void FakeConfluence::handle(const httplib::Request& request, httplib::Response& response) {
    auto [path, query] = splitTarget(request.target);
    if (path.starts_with("/__fake/")) return control(path, request, response);

    LoggedRequest logged{request.method, path, std::move(query), request.get_header_value("Authorization"),
                         request.body};
    std::optional<Fault> fault;
    std::chrono::milliseconds latency;
    {
        std::lock_guard lock(mutex_);
        record(logged);
        fault = takeFault(logged);
        latency = latency_;
    }
    for (auto until = std::chrono::steady_clock::now() + latency;
         !stopping_ && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::min(latency, std::chrono::milliseconds(5)));

    if (fault) {
        switch (fault->kind) {
        case Fault::Kind::status:
            response.status = fault->status;
            response.set_content(fault->body, "application/json");
            return;
        case Fault::Kind::malformedJson:
            response.status = 200;
            response.set_content(R"({"results": [{"id": )", "application/json");
            return;
        case Fault::Kind::nonUtf8Body:
            response.status = fault->status;
            response.set_content("\xff\xfe not UTF-8 \xc3", "text/plain");
            return;
        case Fault::Kind::emptyBody:
            response.status = 200;
            response.set_content("", "application/json");
            return;
        case Fault::Kind::dropConnection:
            // why: announcing a length and then failing the provider makes the server close mid-answer.
            response.set_content_provider(
                100, "application/json", [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return;
        }
    }

    ApiRequest apiRequest{logged.method, logged.path, logged.query, logged.authorization, logged.body};
    ApiResponse answer;
    {
        std::lock_guard lock(mutex_);
        answer = api_.answer(apiRequest, baseURL());
    }
    response.status = answer.status;
    if (!answer.link.empty()) response.set_header("Link", answer.link);
    if (!answer.body.empty()) response.set_content(answer.body, answer.contentType);
}

void FakeConfluence::control(std::string_view path, const httplib::Request& request, httplib::Response& response) {
    auto body = json::parse(request.body.empty() ? "{}" : request.body, nullptr, false);
    if (body.is_discarded()) return sendJson(response, 400, {{"error", "the body is not JSON"}});
    std::lock_guard lock(mutex_);
    if (path == "/__fake/fail" && request.method == "POST") {
        auto fault = Fault::fromJson(body);
        if (!fault) return sendJson(response, 400, {{"error", fault.error()}});
        faults_.push_back(std::move(*fault));
        return sendJson(response, 200, {{"queued", faults_.size()}});
    }
    if (path == "/__fake/latency" && request.method == "POST") {
        if (!body.contains("ms") || !body["ms"].is_number_integer() || body["ms"].get<int>() < 0)
            return sendJson(response, 400, {{"error", "ms must be a non-negative integer"}});
        latency_ = std::chrono::milliseconds(body["ms"].get<int>());
        return sendJson(response, 200, {{"ms", latency_.count()}});
    }
    if (path == "/__fake/next-links" && request.method == "POST") {
        static const std::pair<std::string_view, NextLinkStyle> styles[] = {
            {"wiki", NextLinkStyle::wikiPath}, {"api", NextLinkStyle::apiPath}, {"absolute", NextLinkStyle::absolute}};
        std::string style = body.value("style", "");
        auto match = std::ranges::find(styles, style, &std::pair<std::string_view, NextLinkStyle>::first);
        if (match == std::end(styles)) return sendJson(response, 400, {{"error", "style is wiki, api or absolute"}});
        api_.setNextLinkStyle(match->second);
        return sendJson(response, 200, {{"style", style}});
    }
    if (path == "/__fake/log" && request.method == "GET") {
        json entries = json::array();
        for (const auto& entry : log_) entries.push_back(entry.toJson());
        return sendJson(response, 200, entries);
    }
    if (path == "/__fake/log" && request.method == "DELETE") {
        log_.clear();
        return sendJson(response, 200, {{"cleared", true}});
    }
    if (path == "/__fake/stats" && request.method == "GET") {
        return sendJson(response, 200,
                        {{"requests", log_.size()},
                         {"tlsHandshakes", handshakes_.total.load()},
                         {"resumedTlsHandshakes", handshakes_.resumed.load()}});
    }
    if (path == "/__fake/pages" && request.method == "GET") {
        json pages = json::array();
        for (const auto& page : api_.data().pages)
            pages.push_back({{"id", page.id},
                             {"spaceId", page.spaceId},
                             {"title", page.title},
                             {"status", page.status},
                             {"version", page.version},
                             {"versionMessage", page.versionMessage},
                             {"parentId", page.parentId ? json(*page.parentId) : json(nullptr)},
                             {"body", page.body}});
        return sendJson(response, 200, pages);
    }
    sendJson(response, 404, {{"error", "unknown control " + request.method + " " + std::string(path)}});
}

}  // namespace folioport::fake
