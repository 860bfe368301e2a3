#include "platform/ServicesLibrary.h"

#include "platform/Posix.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <mutex>

#include <curl/curl.h>
#include <openssl/crypto.h>

namespace folioport::platform {
namespace {

constexpr long maxIdleConnections = 32;

/// The process-wide share handle: connection cache, TLS sessions and DNS, each behind its own lock.
class Pool {
public:
    static Pool& instance() {
        // why: never destroyed, so no request on another thread can outlive the share handle at exit.
        static Pool* pool = new Pool;
        return *pool;
    }

    CURLSH* share() const { return share_; }

private:
    Pool() {
        // why: OpenSSL's own clean-up at exit frees what worker threads that are still ending may use or
        // free themselves, a race at every quit; the operating system reclaims it all anyway.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        curl_global_init(CURL_GLOBAL_DEFAULT);
        share_ = curl_share_init();
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Pool::lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Pool::unlock);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<Pool*>(self)->locks_[static_cast<std::size_t>(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<Pool*>(self)->locks_[static_cast<std::size_t>(data)].unlock();
    }

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

/// The PEM bundle to verify servers against: the configured one, else SSL_CERT_FILE as OpenSSL
/// programs honour it, else empty for libcurl's built-in system bundle.
std::string certificateAuthorities(const HttpTransportOptions& options) {
    if (!options.certificateAuthorityFile.empty()) return options.certificateAuthorityFile;
    // why: Debian's libcurl compiles in the system bundle, which hides OpenSSL's own variable.
    const char* fromEnvironment = std::getenv("SSL_CERT_FILE");
    return fromEnvironment ? fromEnvironment : "";
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

/// Where the decompressed answer goes (memory, or a file when one is given), and how much of it may come.
struct BodySink {
    std::string bytes;
    int file = -1;
    std::size_t written = 0;  // to the file
    std::size_t limit = 0;  // 0: none
    bool overflowed = false;
    int writeError = 0;  // errno of a failed write to the file
};

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* target) {
    auto& sink = *static_cast<BodySink*>(target);
    const std::size_t length = size * count;
    const std::size_t kept = sink.file >= 0 ? sink.written : sink.bytes.size();
    // why: checked chunk by chunk as libcurl inflates, so a small compressed answer cannot grow without bound.
    if (sink.limit != 0 && length > sink.limit - kept) {
        sink.overflowed = true;
        return 0;
    }
    if (sink.file < 0) {
        sink.bytes.append(data, length);
        return length;
    }
    if (!writeAll(sink.file, std::string_view(data, length))) {
        sink.writeError = errno;
        return 0;
    }
    sink.written += length;
    return length;
}

/// The scheme of a well-formed http or https address; nothing for anything else.
std::optional<std::string> httpScheme(const std::string& url) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return std::nullopt;
    std::string result = scheme;
    curl_free(scheme);
    if (result != "http" && result != "https") return std::nullopt;
    return result;
}

HttpFailure transportFailure(std::string message) { return {HttpFailure::Kind::transport, std::move(message)}; }

using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

/// The request's headers in libcurl's form, followed by an empty "Expect:".
HeaderList headerList(const HttpRequest& request) {
    HeaderList headers;
    auto add = [&](const std::string& line) {
        if (curl_slist* appended = curl_slist_append(headers.get(), line.c_str())) {
            (void)headers.release();
            headers.reset(appended);
        }
    };
    for (const auto& [name, value] : request.headers) add(name + ": " + value);
    add("Expect:");  // why: no 100-continue round trip before a large body.
    return headers;
}

/// Drives the one transfer of `multi` to its end; its result, or absent when a stop was requested first.
std::optional<CURLcode> runTransfer(CURLM* multi, CURL* easy, std::stop_token stop) {
    CURLcode result = CURLE_OK;
    bool cancelled = false;
    curl_multi_add_handle(multi, easy);
    {
        // why: waking the poll from the stopping thread makes cancellation immediate, not once a second.
        std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) break;
            if (stop.stop_requested()) {
                cancelled = true;
                break;
            }
            if (running) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued))
            if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    curl_multi_remove_handle(multi, easy);
    if (cancelled) return std::nullopt;
    return result;
}

/// How the handle reaches the server: address, allowed protocols and redirects, TLS checks, HTTP version,
/// time limits, compression, user agent, and whether connections come from the shared pool.
void setConnection(CURL* e, const HttpRequest& request, const std::string& scheme, const HttpTransportOptions& options,
                   const Pool& pool) {
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // why: a redirect may never downgrade an https exchange to plain http.
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, scheme == "https" ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_UNRESTRICTED_AUTH, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const std::string authorities = certificateAuthorities(options); !authorities.empty())
        curl_easy_setopt(e, CURLOPT_CAINFO, authorities.c_str());
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    if (request.lowSpeedBytes != 0) {
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(request.lowSpeedBytes));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.lowSpeedTime.count()));
    }
    // why: gzip only; brotli at a server's default quality costs it about a millisecond per small answer.
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(e, CURLOPT_USERAGENT, options.userAgent.c_str());
    if (options.reuseConnections) {
        curl_easy_setopt(e, CURLOPT_SHARE, pool.share());
    } else {
        curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    }
}

/// What the handle sends and where the answer goes: method, headers and body out, the answer into `body`
/// within its limit, libcurl's own words on a failure into `errorText`.
void setExchange(CURL* e, const HttpRequest& request, const HeaderList& headers, BodySink& body, char* errorText) {
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    if (request.maxBodyBytes != 0)
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
    if (request.method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    if (request.body) {
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body->data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size()));
    }
}

/// Why a finished transfer gave no answer (absent when it did): cancelled, too large, not stored, too slow,
/// or libcurl's reason.
std::optional<HttpFailure> transferFailure(std::optional<CURLcode> result, const BodySink& body,
                                           const HttpRequest& request, const char* errorText) {
    if (!result) return transportFailure("Cancelled");
    if (body.overflowed || *result == CURLE_FILESIZE_EXCEEDED)
        return HttpFailure{HttpFailure::Kind::tooLarge, "The answer exceeds the size limit"};
    if (body.writeError != 0)
        return transportFailure("Could not store the answer: " + std::string(std::strerror(body.writeError)));
    if (*result == CURLE_OPERATION_TIMEDOUT && request.lowSpeedBytes != 0)
        return HttpFailure{HttpFailure::Kind::tooSlow, "The transfer was too slow"};
    if (*result != CURLE_OK)
        return transportFailure(errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(*result)));
    return std::nullopt;
}

/// The answer the handle received: status, body, redirect target and Retry-After.
std::expected<HttpResponse, HttpFailure> receivedResponse(CURL* e, BodySink& body) {
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (status == 0) return std::unexpected(transportFailure("No HTTP response"));
    HttpResponse response{static_cast<int>(status), std::move(body.bytes), {}, {}};
    char* location = nullptr;
    if (curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location) response.location = location;
    curl_header* retryAfter = nullptr;
    if (curl_easy_header(e, "Retry-After", 0, CURLH_HEADER, -1, &retryAfter) == CURLHE_OK && retryAfter->value)
        response.retryAfter = retryAfter->value;
    return response;
}

}  // namespace

namespace services {

void curlPrepare() { (void)Pool::instance(); }

std::expected<HttpResponse, HttpFailure> curlSend(const HttpRequest& request, const HttpTransportOptions& options,
                                                  std::stop_token stop) {
    const Pool& pool = Pool::instance();  // why: before any other libcurl call, it initialises the library
    auto scheme = httpScheme(request.url);
    if (!scheme) return std::unexpected(HttpFailure{HttpFailure::Kind::badURL, "Not a valid http(s) address"});
    if (stop.stop_requested()) return std::unexpected(transportFailure("Cancelled"));

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) return std::unexpected(transportFailure("Out of memory"));
    // why: the shared cache keeps at most this many idle connections, counted by the multi handle that
    // returns one; the default (four per easy handle, so four here) would close connections under load.
    curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, maxIdleConnections);

    const HeaderList headers = headerList(request);
    BodySink body;
    body.limit = request.maxBodyBytes;
    body.file = request.bodyFile;
    char errorText[CURL_ERROR_SIZE] = {};
    setConnection(easy.get(), request, *scheme, options, pool);
    setExchange(easy.get(), request, headers, body, errorText);

    const std::optional<CURLcode> result = runTransfer(multi.get(), easy.get(), stop);
    if (auto failure = transferFailure(result, body, request, errorText)) return std::unexpected(std::move(*failure));
    return receivedResponse(easy.get(), body);
}

}  // namespace services
}  // namespace folioport::platform
