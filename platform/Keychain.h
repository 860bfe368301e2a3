#pragma once

#include <optional>
#include <string>

namespace folioport::platform::Keychain {

/// The secret stored for `account` under service "com.tessaly.folioport" in the Secret Service, or
/// absent when there is none, it is not UTF-8, or no keyring answers within about two seconds.
std::optional<std::string> get(const std::string& account);

/// Deletes every secret stored for `account`, then stores `value` unless it is empty. Failures are
/// ignored; like get, it gives up on a keyring that does not answer within about two seconds.
void set(const std::string& value, const std::string& account);

}  // namespace folioport::platform::Keychain
