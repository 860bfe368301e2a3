#include "platform/ServicesLibrary.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace folioport::platform::services {
namespace {

using Keychain::Unreadable;

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

/// One keyring call handed to the worker.
struct Job {
    std::function<void(GCancellable*)> work;
    GCancellable* cancellable = g_cancellable_new();
    bool done = false;
    bool abandoned = false;  // its caller gave up waiting
    bool awaited = true;     // false for work posted without a caller
    ~Job() { g_object_unref(cancellable); }
};

/// One long-lived thread runs every blocking keyring call, so a caller can stop waiting after
/// keyringTimeout. why: a Secret Service that is registered but never answers would otherwise block
/// for D-Bus's 25-second default, or forever behind an unlock prompt no one sees. While a call that
/// outlived its bound still runs, further calls fail at once instead of queueing behind it, so
/// neither threads nor waiting callers pile up on a hanging keyring.
class Worker {
public:
    static Worker& shared() {
        static Worker* worker = new Worker;  // why: never destroyed; its detached thread may outlive main
        return *worker;
    }

    /// Runs `call` on the worker; absent when it did not finish within the bound.
    template <class Result>
    std::optional<Result> run(std::function<Result(GCancellable*)> call) {
        auto result = std::make_shared<std::optional<Result>>();
        auto job = std::make_shared<Job>();
        job->work = [call = std::move(call), result](GCancellable* cancellable) { *result = call(cancellable); };

        std::unique_lock lock(mutex_);
        if (overrun_) return std::nullopt;
        queue_.push_back(job);
        queued_.notify_one();
        if (finished_.wait_for(lock, keyringTimeout, [&] { return job->done; })) return std::move(*result);
        job->abandoned = true;
        // why: posted work has no caller of its own to give up on it when it hangs.
        if (running_ && (running_ == job || !running_->awaited)) {
            overrun_ = true;
            g_cancellable_cancel(running_->cancellable);
        }
        return std::nullopt;
    }

    /// Queues `work` without waiting for it; a later run() waits behind it as behind any call.
    void post(std::function<void(GCancellable*)> work) {
        auto job = std::make_shared<Job>();
        job->work = std::move(work);
        job->awaited = false;
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
        queued_.notify_one();
    }

private:
    Worker() { std::thread([this] { serve(); }).detach(); }

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            queued_.wait(lock, [&] { return !queue_.empty(); });
            std::shared_ptr<Job> job = std::move(queue_.front());
            queue_.pop_front();
            if (job->abandoned) continue;
            running_ = job;
            lock.unlock();
            job->work(job->cancellable);
            lock.lock();
            job->done = true;
            running_.reset();
            overrun_ = false;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::shared_ptr<Job> running_;
    bool overrun_ = false;  // the running call outlived its caller's bound
};

/// The session bus connection, made on first use and held for the life of the process, so every
/// later call reuses it; null when there is no bus to reach. Worker thread only.
GDBusConnection* sessionBus(GCancellable* cancellable) {
    static GDBusConnection* bus = nullptr;
    GError* error = nullptr;
    if (!bus) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    g_clear_error(&error);
    return bus;
}

constexpr const char* secretsName = "org.freedesktop.secrets";
constexpr const char* secretsPath = "/org/freedesktop/secrets";
constexpr const char* secretsInterface = "org.freedesktop.Secret.Service";

/// One method call on the Secret Service; null with `error` set when it failed.
GVariant* callService(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType,
                      GCancellable* cancellable, GError** error) {
    return g_dbus_connection_call_sync(bus, secretsName, secretsPath, secretsInterface, method, parameters,
                                       G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, -1, cancellable, error);
}

/// The transfer session for reading secrets, opened once and held (an empty path when it could not be).
/// why: reading through libsecret's own calls keeps about 1.3 KB of every secret it decodes for good, so a
/// long MCP session grew with every tool call; these direct calls keep nothing. The "plain" transfer
/// algorithm of the Secret Service is used: the secret travels only over the user's own session bus, which
/// whoever could read it there could also ask the keyring directly.
std::string& readingSession() {
    static std::string path;
    return path;
}

bool isCancellation(const GError* error) {
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT);
}

/// Opens the reading session when none is open; false with `error` set when the service refused.
bool openReadingSession(GDBusConnection* bus, GCancellable* cancellable, GError** error) {
    if (!readingSession().empty()) return true;
    GVariant* reply = callService(bus, "OpenSession", g_variant_new("(sv)", "plain", g_variant_new_string("")),
                                  "(vo)", cancellable, error);
    if (!reply) return false;
    const gchar* path = nullptr;
    GVariant* output = nullptr;
    g_variant_get(reply, "(v&o)", &output, &path);
    readingSession() = path;
    g_variant_unref(output);
    g_variant_unref(reply);
    return true;
}

/// The paths of the items of `account`, unlocked and locked; absent with `error` set when the search failed.
struct FoundItems {
    std::vector<std::string> unlocked;
    std::vector<std::string> locked;
};

std::optional<FoundItems> searchItems(GDBusConnection* bus, const std::string& account, GCancellable* cancellable,
                                      GError** error) {
    GVariantBuilder attributes;
    g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&attributes, "{ss}", "service", service);
    g_variant_builder_add(&attributes, "{ss}", "account", account.c_str());
    GVariant* found = callService(bus, "SearchItems", g_variant_new("(a{ss})", &attributes), "(aoao)", cancellable, error);
    if (!found) return std::nullopt;
    FoundItems items;
    for (std::size_t list = 0; list < 2; ++list) {
        GVariant* paths = g_variant_get_child_value(found, list);
        for (gsize i = 0; i < g_variant_n_children(paths); ++i) {
            const gchar* path = nullptr;
            g_variant_get_child(paths, i, "&o", &path);
            (list == 0 ? items.unlocked : items.locked).emplace_back(path);
        }
        g_variant_unref(paths);
    }
    g_variant_unref(found);
    return items;
}

/// The secret of the first unlocked item of `account`; absent when there is none or it is not UTF-8.
Lookup lookupOnWorker(const std::string& account, GCancellable* cancellable) {
    GDBusConnection* bus = sessionBus(cancellable);
    if (!bus) return std::unexpected(Unreadable::noSessionBus);
    GError* error = nullptr;
    auto failure = [&error]() -> Lookup {
        const bool cancelled = isCancellation(error);
        g_clear_error(&error);
        return std::unexpected(cancelled ? Unreadable::timedOut : Unreadable::noSecretService);
    };
    const std::optional<FoundItems> found = searchItems(bus, account, cancellable, &error);
    if (!found) return failure();
    if (found->unlocked.empty()) {
        if (!found->locked.empty()) return std::unexpected(Unreadable::locked);
        return std::nullopt;
    }
    const std::string& item = found->unlocked.front();

    const char* items[] = {item.c_str(), nullptr};
    const auto getSecrets = [&]() -> GVariant* {
        if (!openReadingSession(bus, cancellable, &error)) return nullptr;
        GVariant* got = callService(bus, "GetSecrets", g_variant_new("(^aoo)", items, readingSession().c_str()),
                                    "(a{o(oayays)})", cancellable, &error);
        if (!got) readingSession().clear();
        return got;
    };
    const bool sessionHeld = !readingSession().empty();
    GVariant* secrets = getSecrets();
    // why: a keyring that restarted no longer knows a session opened before it, so a held one gets one retry.
    if (!secrets && sessionHeld && !isCancellation(error)) {
        g_clear_error(&error);
        secrets = getSecrets();
    }
    if (!secrets) return failure();
    GVariant* all = g_variant_get_child_value(secrets, 0);
    GVariant* secret = g_variant_lookup_value(all, item.c_str(), G_VARIANT_TYPE("(oayays)"));
    std::optional<std::string> value;
    if (secret) {
        GVariant* bytes = g_variant_get_child_value(secret, 2);
        gsize length = 0;
        const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &length, 1));
        if (g_utf8_validate(data, static_cast<gssize>(length), nullptr)) value = std::string(data, length);
        g_variant_unref(bytes);
        g_variant_unref(secret);
    }
    g_variant_unref(all);
    g_variant_unref(secrets);
    return value;
}

bool clear(const std::string& account, GCancellable* cancellable) {
    GError* error = nullptr;
    secret_password_clear_sync(tokenSchema(), cancellable, &error, "service", service, "account", account.c_str(),
                               nullptr);
    const bool cleared = error == nullptr;
    g_clear_error(&error);
    return cleared;
}

/// Deletes the items of `account` other than one holding `value`; true when such an item is kept.
/// Items whose secret cannot be read (another, locked collection) are left alone.
bool keepOnlyOne(const std::string& value, const std::string& account, GCancellable* cancellable) {
    GError* error = nullptr;
    SecretService* secretService = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
    if (!secretService) {
        g_clear_error(&error);
        return false;
    }
    GHashTable* attributes =
        secret_attributes_build(tokenSchema(), "service", service, "account", account.c_str(), nullptr);
    GList* items = secret_service_search_sync(secretService, tokenSchema(), attributes,
                                              static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS),
                                              cancellable, &error);
    g_clear_error(&error);
    bool kept = false;
    for (GList* entry = items; entry; entry = entry->next) {
        auto* item = static_cast<SecretItem*>(entry->data);
        SecretValue* secret = secret_item_get_secret(item);
        if (!secret) continue;
        const gchar* text = secret_value_get_text(secret);
        if (!kept && text && value == text) {
            kept = true;
        } else {
            secret_item_delete_sync(item, cancellable, &error);
            g_clear_error(&error);
        }
        secret_value_unref(secret);
    }
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
    g_object_unref(secretService);
    return kept;
}

bool replace(const std::string& value, const std::string& account, GCancellable* cancellable) {
    if (value.empty()) return clear(account, cancellable);
    // why: storing replaces an item with the same attributes in place, so a refused store keeps the
    // old token; only after it succeeded are stray duplicates (stored by other tools) removed.
    GError* error = nullptr;
    const std::string label = std::string("Folioport ") + account;
    const gboolean stored = secret_password_store_sync(tokenSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                       value.c_str(), cancellable, &error, "service", service,
                                                       "account", account.c_str(), nullptr);
    g_clear_error(&error);
    return stored && keepOnlyOne(value, account, cancellable);
}

/// Unlock of the collections holding the locked items of `account`; when the keyring needs the user's
/// password it hands back a prompt, which is shown without waiting for its outcome.
bool unlockOnWorker(const std::string& account, GCancellable* cancellable) {
    GDBusConnection* bus = sessionBus(cancellable);
    if (!bus) return false;
    GError* error = nullptr;
    const std::optional<FoundItems> found = searchItems(bus, account, cancellable, &error);
    if (!found) {
        g_clear_error(&error);
        return false;
    }
    if (found->locked.empty()) return true;
    std::vector<const char*> paths;
    for (const std::string& path : found->locked) paths.push_back(path.c_str());
    paths.push_back(nullptr);
    GVariant* reply = callService(bus, "Unlock", g_variant_new("(^ao)", paths.data()), "(aoo)", cancellable, &error);
    if (!reply) {
        g_clear_error(&error);
        return false;
    }
    const gchar* prompt = nullptr;
    g_variant_get(reply, "(@ao&o)", nullptr, &prompt);
    bool asked = true;
    if (std::string_view(prompt) != "/") {
        // why: Prompt returns at once; the answer comes later as the prompt's Completed signal, and an
        // unlocked collection announces itself, so nothing here waits for the user.
        GVariant* shown = g_dbus_connection_call_sync(bus, secretsName, prompt, "org.freedesktop.Secret.Prompt", "Prompt",
                                                      g_variant_new("(s)", ""), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                                                      cancellable, &error);
        asked = shown != nullptr;
        if (shown) g_variant_unref(shown);
        g_clear_error(&error);
    }
    g_variant_unref(reply);
    return asked;
}

}  // namespace

void secretServicePrepare() {
    Worker::shared().post([](GCancellable* cancellable) {
        GDBusConnection* bus = sessionBus(cancellable);
        if (!bus) return;
        // why: the reading session is held once opened, so the first lookup does not wait for it. Opening
        // reads no item, so it prompts for nothing.
        GError* error = nullptr;
        openReadingSession(bus, cancellable, &error);
        g_clear_error(&error);
    });
}

Lookup secretServiceLookup(const std::string& account) {
    auto found = Worker::shared().run<Lookup>(
        [account](GCancellable* cancellable) { return lookupOnWorker(account, cancellable); });
    return found ? *found : std::unexpected(Unreadable::timedOut);
}

bool secretServiceStore(const std::string& value, const std::string& account) {
    return Worker::shared()
        .run<bool>([value, account](GCancellable* cancellable) { return replace(value, account, cancellable); })
        .value_or(false);
}

bool secretServiceUnlock(const std::string& account) {
    return Worker::shared()
        .run<bool>([account](GCancellable* cancellable) { return unlockOnWorker(account, cancellable); })
        .value_or(false);
}

}  // namespace folioport::platform::services
