#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "updater/UpdateLimits.h"

namespace folioport {

/// Seals a bundle for `team`: writes the manifest of every entry and its Ed25519 signature into the
/// bundle's seal files. Fails with the reason (an entry that cannot be sealed, a key that is not Ed25519).
std::expected<void, std::string> signBundle(const std::filesystem::path& bundle, std::string_view privateKeyPem,
                                            std::string_view team);

/// Checks that the bundle carries a seal for `team` in a folder of its own, signed with this public key, and
/// that every entry is exactly as sealed. The seal's files must be regular files within the limits' sizes.
/// On failure, short lines saying why (unsigned, other key, each changed entry).
std::expected<void, std::string> verifyBundle(const std::filesystem::path& bundle, std::string_view publicKeyPem,
                                              std::string_view team, const UpdateLimits& limits = {});

}  // namespace folioport
