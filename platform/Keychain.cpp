#include "platform/Keychain.h"

#include <libsecret/secret.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace folioport::platform::Keychain {
namespace {

constexpr auto keyringTimeout = std::chrono::seconds(2);
constexpr const char* service = "com.tessaly.folioport";

const SecretSchema* tokenSchema() {
    // why: DONT_MATCH_NAME finds items by service and account alone, whoever stored them.
    static const SecretSchema schema = {
        "com.tessaly.folioport.Secret",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

/// Runs a blocking keyring call on its own thread and waits at most keyringTimeout for it.
/// why: a Secret Service that is registered but never answers would otherwise block for D-Bus's
/// 25-second default, or forever behind an unlock prompt no one sees; on timeout the call is
/// cancelled and left to finish on its own.
template <class Result>
std::optional<Result> runBounded(std::function<Result(GCancellable*)> call) {
    GCancellable* cancellable = g_cancellable_new();
    std::promise<Result> promise;
    std::future<Result> future = promise.get_future();
    g_object_ref(cancellable);  // the worker's reference
    std::thread([call = std::move(call), promise = std::move(promise), cancellable]() mutable {
        promise.set_value(call(cancellable));
        g_object_unref(cancellable);
    }).detach();

    std::optional<Result> result;
    if (future.wait_for(keyringTimeout) == std::future_status::ready) {
        result = future.get();
    } else {
        g_cancellable_cancel(cancellable);
    }
    g_object_unref(cancellable);
    return result;
}

std::optional<std::string> lookup(const std::string& account, GCancellable* cancellable) {
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(tokenSchema(), cancellable, &error, "service", service,
                                                "account", account.c_str(), nullptr);
    if (error) g_error_free(error);
    if (!secret) return std::nullopt;
    std::optional<std::string> value;
    if (g_utf8_validate(secret, -1, nullptr)) value = std::string(secret);
    secret_password_free(secret);
    return value;
}

bool replace(const std::string& value, const std::string& account, GCancellable* cancellable) {
    GError* error = nullptr;
    secret_password_clear_sync(tokenSchema(), cancellable, &error, "service", service, "account",
                               account.c_str(), nullptr);
    g_clear_error(&error);
    if (value.empty()) return true;
    const std::string label = std::string("Folioport ") + account;
    const gboolean stored = secret_password_store_sync(tokenSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                       value.c_str(), cancellable, &error, "service", service,
                                                       "account", account.c_str(), nullptr);
    g_clear_error(&error);
    return stored;
}

}  // namespace

std::optional<std::string> get(const std::string& account) {
    auto found = runBounded<std::optional<std::string>>(
        [account](GCancellable* cancellable) { return lookup(account, cancellable); });
    return found ? *found : std::nullopt;
}

bool set(const std::string& value, const std::string& account) {
    return runBounded<bool>([value, account](GCancellable* cancellable) { return replace(value, account, cancellable); })
        .value_or(false);
}

}  // namespace folioport::platform::Keychain
