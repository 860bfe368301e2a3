// HttpTransport and Keychain as the rest of the program sees them: each call goes to the services
// library, opened once, on first use (or by preloadServices).
#include <dlfcn.h>

#include <mutex>

#include "platform/Posix.h"
#include "platform/ServicesLoading.h"
#include "platform/ServicesLibrary.h"

namespace folioport::platform {
namespace {

/// The opened library's table, or why it could not be opened.
struct Library {
    const services::Table* table = nullptr;
    std::string failure;
};

const Library& library() {
    static const Library opened = [] {
        Library result;
        // why: the bundle keeps it in Contents/lib beside bin/; a build tree's programs have no bundle.
        // Explicit paths, because a run path would be read from whoever calls dlopen, which a sanitizer's
        // interceptor changes.
        const std::filesystem::path bundled =
            runningExecutable().parent_path().parent_path() / "lib" / services::libraryFile;
#ifdef FOLIOPORT_SERVICES_BUILT_AT
        const char* const candidates[] = {bundled.c_str(), FOLIOPORT_SERVICES_BUILT_AT, services::libraryFile};
#else
        const char* const candidates[] = {bundled.c_str(), services::libraryFile};
#endif
        void* handle = nullptr;
        for (const char* candidate : candidates) {
            if (handle) break;
            handle = ::dlopen(candidate, RTLD_LAZY | RTLD_LOCAL);
            const char* reason = handle ? nullptr : ::dlerror();
            // why: the reason of a file that is there but broken says more than "not found" for the others.
            std::error_code error;
            if (reason && (result.failure.empty() || std::filesystem::exists(candidate, error))) result.failure = reason;
        }
        if (handle) result.table = static_cast<const services::Table*>(::dlsym(handle, services::tableSymbol));
        if (handle && !result.table) {
            const char* reason = ::dlerror();
            result.failure = reason ? reason : std::string(services::libraryFile) + " holds no services table";
        }
        if (result.table) result.failure.clear();
        return result;
    }();
    return opened;
}

std::mutex optionsMutex;
HttpTransportOptions currentOptions;

}  // namespace

std::jthread preloadServices() {
    return std::jthread([] {
        if (const services::Table* table = library().table) table->prepare();
    });
}

std::optional<std::string> servicesFailure() {
    const Library& opened = library();
    if (opened.table) return std::nullopt;
    return std::string(services::libraryFile) + " (network and keyring) could not be loaded: " + opened.failure;
}

std::expected<HttpResponse, HttpFailure> HttpTransport::send(const HttpRequest& request, std::stop_token stop) {
    const Library& opened = library();
    if (!opened.table)
        return std::unexpected(
            HttpFailure{HttpFailure::Kind::transport, *servicesFailure()});
    HttpTransportOptions options;
    {
        std::lock_guard lock(optionsMutex);
        options = currentOptions;
    }
    return opened.table->send(request, options, std::move(stop));
}

void HttpTransport::configure(HttpTransportOptions options) {
    std::lock_guard lock(optionsMutex);
    currentOptions = std::move(options);
}

std::string_view Keychain::describe(Unreadable reason) {
    switch (reason) {
    case Unreadable::noLibrary: return "the keyring library could not be loaded";
    case Unreadable::noSessionBus: return "no D-Bus session bus could be reached";
    case Unreadable::noSecretService: return "no Secret Service (keyring) answers on the session bus";
    case Unreadable::locked: return "the keyring is locked";
    case Unreadable::timedOut: return "the keyring did not answer in time";
    }
    return "the keyring could not be read";
}

std::expected<std::optional<std::string>, Keychain::Unreadable> Keychain::lookup(const std::string& account) {
    const Library& opened = library();
    if (!opened.table) return std::unexpected(Unreadable::noLibrary);
    return opened.table->lookup(account);
}

std::optional<std::string> Keychain::get(const std::string& account) { return lookup(account).value_or(std::nullopt); }

bool Keychain::requestUnlock(const std::string& account) {
    const Library& opened = library();
    return opened.table && opened.table->unlock(account);
}

bool Keychain::set(const std::string& value, const std::string& account) {
    const Library& opened = library();
    return opened.table && opened.table->store(value, account);
}

}  // namespace folioport::platform
