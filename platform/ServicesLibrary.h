#pragma once

#include <expected>
#include <optional>
#include <stop_token>
#include <string>

#include "platform/HttpTransport.h"
#include "platform/Keychain.h"

// The services library (libfolioport-services.so): the HTTP transport on libcurl and the keyring on
// libsecret, whose dependency trees the process loads only through ServicesLoading, off the start-up path.
namespace folioport::platform::services {

/// The file the loader opens.
inline constexpr const char* libraryFile = "libfolioport-services.so";
/// The name of the library's one exported symbol, a `Table`.
inline constexpr const char* tableSymbol = "folioport_services_table";

using Lookup = std::expected<std::optional<std::string>, Keychain::Unreadable>;

/// What the library offers; every entry is thread-safe.
struct Table {
    /// Readies both at once in the background: libcurl's global state, the session bus and the
    /// keyring's session. Returns without waiting for the keyring.
    void (*prepare)();
    std::expected<HttpResponse, HttpFailure> (*send)(const HttpRequest& request, const HttpTransportOptions& options,
                                                     std::stop_token stop);
    Lookup (*lookup)(const std::string& account);
    bool (*store)(const std::string& value, const std::string& account);
    bool (*unlock)(const std::string& account);
};

// Inside the library: the implementations behind HttpTransport::send and Keychain's lookup, set and requestUnlock,
// and what readies each.
void curlPrepare();
void secretServicePrepare();
std::expected<HttpResponse, HttpFailure> curlSend(const HttpRequest& request, const HttpTransportOptions& options,
                                                  std::stop_token stop);
Lookup secretServiceLookup(const std::string& account);
bool secretServiceStore(const std::string& value, const std::string& account);
bool secretServiceUnlock(const std::string& account);

}  // namespace folioport::platform::services
