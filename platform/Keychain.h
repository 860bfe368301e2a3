#pragma once

#include <optional>
#include <string>

namespace folioport::platform::Keychain {

/// The secret stored for `account` under service "com.tessaly.folioport" in the Secret Service, or
/// absent when there is none, it is not UTF-8, or no keyring answers within about two seconds.
std::optional<std::string> get(const std::string& account);

/// Replaces the secret stored for `account` with `value` in one step (the old one stays when the
/// keyring refuses), leaving exactly one item; the empty value deletes every item instead. True when
/// the keyring now holds exactly `value`; false when it refused or did not answer within the bound.
bool set(const std::string& value, const std::string& account);

}  // namespace folioport::platform::Keychain
