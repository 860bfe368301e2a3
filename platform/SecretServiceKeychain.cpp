#include "platform/ServicesLibrary.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

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

/// True when an item of `account` exists but is locked, so its secret could not be read.
bool isLocked(const std::string& account, GCancellable* cancellable) {
    GError* error = nullptr;
    GList* items = secret_password_search_sync(tokenSchema(), SECRET_SEARCH_ALL, cancellable, &error, "service",
                                               service, "account", account.c_str(), nullptr);
    g_clear_error(&error);
    bool locked = false;
    for (GList* entry = items; entry; entry = entry->next)
        locked |= secret_item_get_locked(static_cast<SecretItem*>(entry->data)) != FALSE;
    g_list_free_full(items, g_object_unref);
    return locked;
}

/// The session bus connection, made on first use and held for the life of the process, so every
/// later call reuses it; null when there is no bus to reach. Worker thread only.
GDBusConnection* sessionBus(GCancellable* cancellable) {
    static GDBusConnection* bus = nullptr;
    GError* error = nullptr;
    if (!bus) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    g_clear_error(&error);
    return bus;
}

Lookup lookupOnWorker(const std::string& account, GCancellable* cancellable) {
    if (!sessionBus(cancellable)) return std::unexpected(Unreadable::noSessionBus);
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(tokenSchema(), cancellable, &error, "service", service,
                                                "account", account.c_str(), nullptr);
    if (error) {
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
                               g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
                               g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT);
        g_error_free(error);
        return std::unexpected(cancelled ? Unreadable::timedOut : Unreadable::noSecretService);
    }
    if (!secret) {
        if (isLocked(account, cancellable)) return std::unexpected(Unreadable::locked);
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (g_utf8_validate(secret, -1, nullptr)) value = std::string(secret);
    secret_password_free(secret);
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

}  // namespace

void secretServicePrepare() {
    Worker::shared().post([](GCancellable* cancellable) {
        if (!sessionBus(cancellable)) return;
        // why: the service proxy and its encrypted session are cached by libsecret once opened, so the
        // first lookup does not pay for the key exchange. Opening reads no item, so it prompts for nothing.
        GError* error = nullptr;
        if (SecretService* opened = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error))
            g_object_unref(opened);
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

}  // namespace folioport::platform::services
