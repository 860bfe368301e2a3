#include "FakeConfluence.h"

#include <filesystem>
#include <tuple>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <zlib.h>
#include <sys/socket.h>

namespace folioport::fake {
namespace {

using nlohmann::json;

void countHandshake(const SSL* ssl, int where, int /*ret*/) {
    if (where & SSL_CB_HANDSHAKE_DONE) ++*static_cast<std::atomic<int>*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
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

/// "{" and then blanks up to `size` bytes, gzip-compressed (about a thousandth of the size).
std::string gzipBomb(std::size_t size, char filler) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string out;
    const std::string chunk(1 << 20, filler);
    std::string first = (filler == ' ' ? "{" : "{\"x\":") + chunk;
    char buffer[1 << 16];
    for (std::size_t done = 0; done < size;) {
        const std::string& piece = done == 0 ? first : chunk;
        const std::size_t length = std::min(piece.size(), size - done);
        done += length;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream.avail_in = static_cast<uInt>(length);
        const int flush = done == size ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

json toJson(const ApiRequest& request) {
    json items = json::array();
    for (const auto& [name, value] : request.query) items.push_back({name, value});
    return {{"method", request.method}, {"path", request.path}, {"query", items}, {"line", request.line()},
            {"authorization", request.authorization}, {"body", request.body}};
}

}  // namespace

std::expected<std::unique_ptr<FakeConfluence>, std::string> FakeConfluence::start(SiteData data, FakeOptions options) {
    std::unique_ptr<FakeConfluence> site(new FakeConfluence(std::move(data), std::move(options)));
    if (!site->server_->is_valid() || (site->gateway_ && !site->gateway_->is_valid()))
        return std::unexpected("the TLS certificate or key could not be loaded");
    if (!site->options_.logFile.empty()) {
        site->logFile_.open(site->options_.logFile, std::ios::app);
        if (!site->logFile_) return std::unexpected("cannot open the log file " + site->options_.logFile);
    }
    const int port = site->options_.port;
    if (!site->listen(*site->server_, false, port, site->port_, site->thread_))
        return std::unexpected("cannot bind 127.0.0.1:" + std::to_string(port));
    if (site->gateway_ &&
        !site->listen(*site->gateway_, true, *site->options_.gatewayPort, site->gatewayPort_, site->gatewayThread_))
        return std::unexpected("cannot bind the gateway to 127.0.0.1:" + std::to_string(*site->options_.gatewayPort));
    return site;
}

bool FakeConfluence::listen(httplib::Server& server, bool viaGateway, int wanted, int& port, std::thread& thread) {
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_keep_alive_max_count(10000);
    server.set_keep_alive_timeout(2);
    server.set_tcp_nodelay(true);
    // why: one catch-all per method, because routing must see the raw, still-encoded path.
    auto handler = [this, viaGateway](const httplib::Request& request, httplib::Response& response) {
        handle(request, response, viaGateway);
    };
    server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Delete(".*", handler);
    port = wanted == 0 ? server.bind_to_any_port("127.0.0.1") : server.bind_to_port("127.0.0.1", wanted) ? wanted : -1;
    if (port <= 0) return false;
    auto ended = std::make_shared<std::atomic<bool>>(false);
    thread = std::thread([&server, ended] {
        server.listen_after_bind();
        *ended = true;
    });
    // why: stop() does nothing until the listen loop runs, so a site destroyed at once would never stop.
    while (!server.is_running() && !*ended) std::this_thread::yield();
    return true;
}

FakeConfluence::FakeConfluence(SiteData data, FakeOptions options)
    : options_(std::move(options)), api_(std::move(data)) {
    auto makeServer = [this]() -> std::unique_ptr<httplib::Server> {
        if (!options_.tls) return std::make_unique<httplib::Server>();
        auto tls = std::make_unique<httplib::SSLServer>(options_.tls->certificateFile.c_str(),
                                                        options_.tls->privateKeyFile.c_str());
        if (tls->is_valid()) {
            SSL_CTX_set_app_data(tls->ssl_context(), &handshakes_);
            SSL_CTX_set_info_callback(tls->ssl_context(), countHandshake);
        }
        return tls;
    };
    server_ = makeServer();
    if (options_.gatewayPort) gateway_ = makeServer();
}

FakeConfluence::~FakeConfluence() {
    stopping_ = true;
    for (auto [server, port, thread] : {std::tuple(server_.get(), port_, &thread_),
                                        std::tuple(gateway_.get(), gatewayPort_, &gatewayThread_)}) {
        if (!server) continue;
        server->stop();
        // why: the server would otherwise wait out the keep-alive time of every connection a client pools.
        if (port > 0) shutDownConnections(port);
        if (thread->joinable()) thread->join();
    }
}

std::string FakeConfluence::baseURL() const {
    return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::string FakeConfluence::gatewayURL() const {
    if (!gateway_) return {};
    return std::string(options_.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(gatewayPort_);
}

std::vector<std::string> FakeConfluence::requestLines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (const auto& request : log_) lines.push_back(request.line());
    return lines;
}

void FakeConfluence::sleepUnlessStopping(std::chrono::milliseconds delay) const {
    for (auto until = std::chrono::steady_clock::now() + delay; !stopping_ && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::min(delay, std::chrono::milliseconds(5)));
}

void FakeConfluence::handle(const httplib::Request& request, httplib::Response& response, bool viaGateway) {
    std::string_view target = request.target;
    std::size_t question = std::min(target.find('?'), target.size());
    std::string path(target.substr(0, question));
    if (!viaGateway && path.starts_with("/__fake/")) return control(path, request, response);

    ApiRequest logged{request.method, path, parseQuery(target.substr(std::min(question + 1, target.size()))),
                         request.get_header_value("Authorization"), request.body};
    std::optional<Fault> fault;
    std::chrono::milliseconds latency;
    {
        std::lock_guard lock(mutex_);
        log_.push_back(logged);
        if (logFile_.is_open()) logFile_ << toJson(logged).dump() << '\n' << std::flush;
        auto it = std::ranges::find_if(faults_, [&](const Fault& f) {
            return (f.method.empty() || f.method == logged.method) && logged.path.starts_with(f.pathPrefix);
        });
        if (it != faults_.end()) {
            fault = *it;
            if (--it->count <= 0) faults_.erase(it);
        }
        auto ownLatency = pathLatencies_.find(logged.path);
        latency = ownLatency == pathLatencies_.end() ? latency_ : ownLatency->second;
    }
    sleepUnlessStopping(latency);

    using Kind = Fault::Kind;
    if (fault && fault->kind == Kind::dropConnection) {
        // why: announcing a length and then failing the provider makes the server close mid-answer.
        response.set_content_provider(100, "application/json",
                                      [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
    } else if (fault && fault->kind == Kind::gzipBomb) {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(gzipBomb(fault->inflatedBytes, fault->body.empty() ? ' ' : fault->body.front()),
                             "application/json");
    } else if (fault && fault->kind == Kind::endlessPaging) {
        static std::atomic<int> cursor = 0;
        const json next = {{"next", logged.path + "?cursor=" + std::to_string(++cursor)}};
        response.set_content("{\"results\":" + (fault->body.empty() ? "[]" : fault->body) + ",\"_links\":" + next.dump() + "}",
                             "application/json");
    } else if (fault && fault->kind != Kind::lateAnswer) {
        if (!fault->location.empty()) response.set_header("Location", fault->location);
        if (!fault->retryAfter.empty()) response.set_header("Retry-After", fault->retryAfter);
        response.status = fault->kind == Kind::status || fault->kind == Kind::nonUtf8Body ? fault->status : 200;
        response.set_content(fault->kind == Kind::status          ? fault->body
                             : fault->kind == Kind::malformedJson ? R"({"results": [{"id": )"
                             : fault->kind == Kind::nonUtf8Body   ? "\xff\xfe not UTF-8 \xc3"
                                                                  : "",
                             fault->kind == Kind::nonUtf8Body ? "text/plain" : "application/json");
    } else {
        answer(logged, response, viaGateway);
        if (fault && fault->kind == Kind::lateAnswer) sleepUnlessStopping(fault->delay);
    }
}

void FakeConfluence::answer(const ApiRequest& logged, httplib::Response& response, bool viaGateway) {
    std::lock_guard lock(mutex_);
    if (auto file = files_.find(logged.path); !viaGateway && file != files_.end()) {
        response.status = file->second.status;
        return response.set_content(file->second.body, file->second.contentType);
    }
    ApiRequest routed = logged;
    if (viaGateway) {
        const std::string prefix = "/ex/confluence/" + api_.data().cloudId;
        if (!routed.path.starts_with(prefix + "/")) {
            response.status = 404;
            return response.set_content(R"({"message":"No cloud site here"})", "application/json");
        }
        routed.path.erase(0, prefix.size());
    }
    ApiResponse answer = api_.answer(routed, baseURL(), viaGateway);
    response.status = answer.status;
    if (!answer.link.empty()) response.set_header("Link", answer.link);
    if (!answer.body.empty()) response.set_content(answer.body, "application/json");
}

void FakeConfluence::control(std::string_view path, const httplib::Request& request, httplib::Response& response) {
    auto send = [&](int status, const json& body) {
        response.status = status;
        response.set_content(body.dump(), "application/json");
    };
    auto body = json::parse(request.body.empty() ? "{}" : request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) return send(400, {{"error", "the body is not a JSON object"}});
    std::lock_guard lock(mutex_);
    std::string route = request.method + " " + std::string(path);
    if (route == "POST /__fake/fail") try {
            Fault fault{Fault::Kind::status, body.value("status", 500), body.value("body", ""),
                        body.value("method", ""), body.value("path", ""), body.value("count", 1), {}, 0,
                        body.value("retryAfter", "")};
            if (fault.status < 100 || fault.status > 599) return send(400, {{"error", "status must be 100-599"}});
            faults_.push_back(std::move(fault));
            return send(200, {{"queued", faults_.size()}});
        } catch (const json::exception& error) {
            return send(400, {{"error", std::string("bad fault: ") + error.what()}});
        }
    if (route == "POST /__fake/latency") {
        const json ms = body.value("ms", json(0));
        const json delayedPath = body.value("path", json(""));
        if (!ms.is_number_integer() || ms.get<std::int64_t>() < 0) return send(400, {{"error", "ms must be >= 0"}});
        if (!delayedPath.is_string()) return send(400, {{"error", "path must be a string"}});
        latencyOf(delayedPath.get<std::string>()) = std::chrono::milliseconds(ms.get<std::int64_t>());
        return send(200, {{"latencyMs", ms}});
    }
    if (route == "GET /__fake/log") {
        json entries = json::array();
        for (const auto& entry : log_) entries.push_back(toJson(entry));
        return send(200, entries);
    }
    if (route == "DELETE /__fake/log") {
        log_.clear();
        return send(200, {{"cleared", true}});
    }
    if (route == "GET /__fake/stats")
        return send(200, {{"requests", log_.size()}, {"tlsHandshakes", handshakes_.load()}});
    send(404, {{"error", "unknown control " + route}});
}

}  // namespace folioport::fake
