#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace folioport::Ed25519 {

/// A new private key as PEM text (PKCS #8), for the maker's release key and for tests.
std::string generatePrivateKey();

/// The public key of a PEM private key, as PEM text; fails with a reason for anything but an Ed25519 key.
std::expected<std::string, std::string> publicKeyOf(std::string_view privateKeyPem);

/// The 64-byte signature of `message`; fails with a reason for anything but an Ed25519 private key.
std::expected<std::string, std::string> sign(std::string_view privateKeyPem, std::string_view message);

/// True only for a 64-byte signature of `message` made with the private half of this Ed25519 public key.
bool verify(std::string_view publicKeyPem, std::string_view message, std::string_view signature);

}  // namespace folioport::Ed25519
