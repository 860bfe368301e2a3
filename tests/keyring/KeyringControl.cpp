#include "KeyringControl.h"

#include <libsecret/secret.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "Harness.h"

namespace folioport::testing {
namespace {

constexpr const char* password = "folioport-test";  // with-keyring.sh's
constexpr const char* secretsName = "org.freedesktop.secrets";

GDBusConnection* sessionBus() { return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr); }

/// One call to the Secret Service's object; false when it failed.
bool call(GDBusConnection* bus, const char* interface, const char* method, GVariant* parameters, GVariant** reply = nullptr) {
    GVariant* answer = g_dbus_connection_call_sync(bus, secretsName, "/org/freedesktop/secrets", interface, method,
                                                   parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply) *reply = answer;
    else if (answer) g_variant_unref(answer);
    return answer != nullptr;
}

bool nameOwned(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", secretsName),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

}  // namespace

bool lockKeyring() {
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr, nullptr);
    if (!service) return false;
    GList* collections = secret_service_get_collections(service);
    const bool locked = secret_service_lock_sync(service, collections, nullptr, nullptr, nullptr) >= 1;
    g_list_free_full(collections, g_object_unref);
    g_object_unref(service);
    return locked;
}

bool unlockKeyring() {
    GDBusConnection* bus = sessionBus();
    if (!bus) return false;
    // gnome-keyring's own way for a login to unlock with the password, through a plain transfer session.
    GVariant* opened = nullptr;
    bool unlocked = call(bus, "org.freedesktop.Secret.Service", "OpenSession",
                         g_variant_new("(sv)", "plain", g_variant_new_string("")), &opened);
    if (unlocked) {
        const gchar* session = nullptr;
        g_variant_get(opened, "(v&o)", nullptr, &session);
        GVariant* secret = g_variant_new("(o@ay@ays)", session, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, nullptr, 0, 1),
                                         g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, password, std::strlen(password), 1),
                                         "text/plain");
        unlocked = call(bus, "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface", "UnlockWithMasterPassword",
                        g_variant_new("(o@(oayays))", "/org/freedesktop/secrets/collection/login", secret));
        g_variant_unref(opened);
    }
    g_object_unref(bus);
    return unlocked;
}

KeyringDaemon::KeyringDaemon(bool unlocked) {
    const std::string control = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/keyring";
    std::vector<std::string> arguments{"/usr/bin/gnome-keyring-daemon", "--foreground", "--components=secrets",
                                       "--control-directory=" + control};
    if (unlocked) arguments.insert(arguments.begin() + 2, "--unlock");
    process_ = std::make_unique<ChildProcess>(arguments);
    if (unlocked) process_->write(password);
    process_->closeInput();
    GDBusConnection* bus = sessionBus();
    for (int attempt = 0; bus && attempt < 200 && !running_; ++attempt) {
        running_ = nameOwned(bus);
        if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (bus) g_object_unref(bus);
}

KeyringDaemon::~KeyringDaemon() = default;

}  // namespace folioport::testing
