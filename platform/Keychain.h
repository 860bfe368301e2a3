#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace folioport::platform::Keychain {

/// Why a secret that may be stored could not be read.
enum class Unreadable { noLibrary, noSessionBus, noSecretService, locked, timedOut };

/// A few words on the reason, for a log line.
std::string_view describe(Unreadable reason);

/// The secret stored for `account`, absent when none is stored (or it is not UTF-8), or why the
/// keyring could not be asked. The session bus connection stays open between calls.
std::expected<std::optional<std::string>, Unreadable> lookup(const std::string& account);

/// The secret stored for `account` under service "com.tessaly.folioport" in the Secret Service, or
/// absent when there is none, it is not UTF-8, or no keyring answers within about two seconds.
std::optional<std::string> get(const std::string& account);

/// Asks the Secret Service to unlock what holds the locked items of `account`, through the keyring's own
/// password prompt when it needs one. Returns once the keyring has taken the request, without waiting for
/// the user's answer: the collection's unlocking is announced on the session bus. False when the keyring
/// could not be asked or did not answer within the bound; true also when nothing of `account` is locked.
bool requestUnlock(const std::string& account);

/// Replaces the secret stored for `account` with `value` in one step (the old one stays when the
/// keyring refuses), leaving exactly one item; the empty value deletes every item instead. True when
/// the keyring now holds exactly `value`; false when it refused or did not answer within the bound.
bool set(const std::string& value, const std::string& account);

}  // namespace folioport::platform::Keychain
