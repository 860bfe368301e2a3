#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "FakeApi.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace folioport::fake {

/// What the site received, as the client sent it (path still percent-encoded).
using LoggedRequest = ApiRequest;

/// A misbehaviour for the next matching requests.
struct Fault {
    /// gzipBomb: a gzip-encoded 200 answer that inflates to about `inflatedBytes` bytes: "{" and blanks, or
    /// "{"x":" and copies of the first character of `body`. endlessPaging: a 200 list answer with `body` as its results ("[]" when
    /// empty) and a next link with a fresh cursor every time. lateAnswer: served as usual (a write is done at once), but
    /// the answer is held back for `delay`, as by a site that is slow to answer what it already did.
    enum class Kind { status, malformedJson, nonUtf8Body, emptyBody, dropConnection, gzipBomb, endlessPaging, lateAnswer };
    Kind kind = Kind::status;
    int status = 500;        ///< status and nonUtf8Body
    std::string body;        ///< status, gzipBomb and endlessPaging
    std::string method;      ///< empty: any method
    std::string pathPrefix;  ///< empty: any path
    int count = 1;           ///< how many requests it hits
    std::string location;    ///< status only: sent as the Location header when not empty
    std::size_t inflatedBytes = 0;  ///< gzipBomb only
    std::string retryAfter;  ///< status only: sent as the Retry-After header when not empty
    std::chrono::milliseconds delay{0};  ///< lateAnswer only
};

/// A document served as given at one path, instead of the API (an update feed, an archive).
struct StaticFile {
    int status = 200;
    std::string body;
    std::string contentType = "application/octet-stream";
};

struct TlsFiles {
    std::string certificateFile;  ///< PEM
    std::string privateKeyFile;   ///< PEM
};

struct FakeOptions {
    std::optional<TlsFiles> tls;  ///< absent: plain HTTP
    int port = 0;                 ///< 0: any free port
    std::string logFile;          ///< empty: no file; else one JSON line per request
    /// When set, a second port (0: any free one) stands in for the API gateway: the same API and data under
    /// "/ex/confluence/<cloudId>", logged with that prefix, where the scoped token works too.
    std::optional<int> gatewayPort;
};

/// A fake Confluence Cloud site on 127.0.0.1, served on its own threads until destroyed.
/// Every member is thread-safe.
class FakeConfluence {
public:
    static std::expected<std::unique_ptr<FakeConfluence>, std::string> start(SiteData data = SiteData::minimal(),
                                                                             FakeOptions options = {});
    ~FakeConfluence();

    /// scheme://127.0.0.1:port
    std::string baseURL() const;
    /// scheme://127.0.0.1:port of the gateway port, the root its clients are given; empty without one.
    std::string gatewayURL() const;

    std::vector<LoggedRequest> requests() const { std::lock_guard lock(mutex_); return log_; }
    /// The requests received, in order, each as its `ApiRequest::line()`.
    std::vector<std::string> requestLines() const;
    void clearRequests() { std::lock_guard lock(mutex_); log_.clear(); }
    void inject(Fault fault) { std::lock_guard lock(mutex_); faults_.push_back(std::move(fault)); }
    /// Delay before every answer of the API and of the served files (not of the control endpoints); with a
    /// `path`, only before answers for exactly that path (query ignored), which the site-wide delay then skips.
    void setLatency(std::chrono::milliseconds latency, const std::string& path = {}) {
        std::lock_guard lock(mutex_);
        latencyOf(path) = latency;
    }
    void setNextLinkStyle(NextLinkStyle style) { std::lock_guard lock(mutex_); api_.setNextLinkStyle(style); }
    /// Answers requests for exactly `path` (any method, query ignored) with `file`, replacing what was served
    /// there; logged and subject to faults and latency like the API.
    void serve(const std::string& path, StaticFile file) {
        std::lock_guard lock(mutex_);
        files_[path] = std::move(file);
    }
    /// Stops serving `path`; the API answers it again.
    void stopServing(const std::string& path) { std::lock_guard lock(mutex_); files_.erase(path); }

    /// TLS handshakes completed so far.
    int tlsHandshakes() const { return handshakes_; }

    /// Runs `f` on the site's data under the site's lock.
    template <class F>
    auto withData(F&& f) {
        std::lock_guard lock(mutex_);
        return f(api_.data());
    }

private:
    FakeConfluence(SiteData data, FakeOptions options);
    void handle(const httplib::Request& request, httplib::Response& response, bool viaGateway);
    /// Routes every request of `server` to handle(), binds it to `wanted` (0: any free port) and serves it on
    /// `thread`; false when it cannot bind.
    bool listen(httplib::Server& server, bool viaGateway, int wanted, int& port, std::thread& thread);
    /// The API's (or a served file's) answer to a request that meets no fault.
    void answer(const ApiRequest& logged, httplib::Response& response, bool viaGateway);
    void control(std::string_view path, const httplib::Request& request, httplib::Response& response);
    /// Waits `delay`, or less when the site is being destroyed.
    void sleepUnlessStopping(std::chrono::milliseconds delay) const;
    /// The delay setting for answers at `path`, or the site-wide one for an empty path; under the lock.
    std::chrono::milliseconds& latencyOf(const std::string& path) {
        return path.empty() ? latency_ : pathLatencies_[path];
    }

    FakeOptions options_;
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<httplib::Server> gateway_;
    std::thread thread_;
    std::thread gatewayThread_;
    int port_ = 0;
    int gatewayPort_ = 0;
    std::atomic<bool> stopping_ = false;
    std::atomic<int> handshakes_ = 0;

    mutable std::mutex mutex_;
    FakeApi api_;
    std::vector<ApiRequest> log_;
    std::ofstream logFile_;
    std::deque<Fault> faults_;
    std::map<std::string, StaticFile> files_;
    std::chrono::milliseconds latency_{0};
    std::map<std::string, std::chrono::milliseconds> pathLatencies_;
};

}  // namespace folioport::fake
