#pragma once

#include <chrono>
#include <cstddef>
#include <expected>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace folioport::platform {

/// One request; its headers go out in the given order and its body unchanged.
struct HttpRequest {
    std::string method = "GET";
    std::string url;  ///< absolute http or https address, already encoded
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::string> body;
    std::chrono::milliseconds timeout{60'000};  ///< for the whole exchange
    /// false answers a redirect as it is (status and location) for the caller to judge.
    bool followRedirects = true;
    /// The most body bytes accepted once decompressed; a larger answer fails as tooLarge. 0: no limit.
    std::size_t maxBodyBytes = 0;
    /// When not -1, the body goes to this open file as it arrives instead of into HttpResponse::body.
    int bodyFile = -1;
    /// A transfer that moves fewer than lowSpeedBytes a second for lowSpeedTime fails as tooSlow, as does one
    /// that outlasts `timeout` while this is set. 0: no such limit.
    std::size_t lowSpeedBytes = 0;
    std::chrono::seconds lowSpeedTime{0};
};

/// Any answer from the server, whatever its status.
struct HttpResponse {
    int status = 0;
    std::string body;  ///< decompressed, possibly empty
    std::string location;  ///< the absolute target of a redirect that was not followed; else empty
    std::string retryAfter;  ///< the Retry-After header as sent; empty when there was none
};

/// Why no answer arrived: an address that is not http(s), an answer beyond maxBodyBytes, a transfer below
/// the low-speed limit, or anything else failing on the way.
struct HttpFailure {
    enum class Kind { badURL, transport, tooLarge, tooSlow };
    Kind kind;
    std::string message;  ///< readable cause, such as "Timeout was reached" or "Cancelled"
};

/// How the process-wide transport behaves; the defaults are the product's.
struct HttpTransportOptions {
    /// PEM bundle to verify servers against instead of the system's (or $SSL_CERT_FILE when set);
    /// tests point it at their own CA.
    std::string certificateAuthorityFile;
    /// false opens a fresh connection (and TLS handshake) for every request; for benchmarks only.
    bool reuseConnections = true;
    std::string userAgent = "Folioport";
};

/// The shared HTTP(S) client: one process-wide pool of connections, TLS sessions and DNS answers, so
/// requests to one host reuse one connection (HTTP/2 when offered). Certificates are always verified;
/// redirects are followed (unless a request answers them itself), never carrying the Authorization
/// header to another host.
namespace HttpTransport {

/// Sends one request and waits for the whole answer; any status counts as an answer. Thread-safe.
/// A stop request aborts at once with a transport failure.
std::expected<HttpResponse, HttpFailure> send(const HttpRequest& request, std::stop_token stop = {});

/// Replaces the options for requests started afterwards.
void configure(HttpTransportOptions options);

}  // namespace HttpTransport

}  // namespace folioport::platform
