#include "updater/BundleSignature.h"

#include <fstream>
#include <optional>

#include "platform/Posix.h"
#include "updater/BundleSeal.h"
#include "updater/Ed25519.h"

namespace folioport {
namespace {

namespace fs = std::filesystem;

std::string hexOf(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += digits[value >> 4];
        text += digits[value & 0x0F];
    }
    return text;
}

std::optional<std::string> bytesOfHex(std::string_view text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return std::nullopt;
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const int high = digit(text[at]);
        const int low = digit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

/// A seal file of at most `limit` bytes; absent when there is none, a sentence when it is no regular file
/// (a symlink included; never read then, so a FIFO cannot block) or too large.
std::expected<std::optional<std::string>, std::string> readSealFile(const fs::path& bundle, std::string_view path,
                                                                    std::size_t limit) {
    auto bytes = platform::readRegularFile(bundle / path, limit, /*followSymlinks=*/false);
    if (bytes) return std::move(*bytes);
    using Kind = platform::FileReadFailure::Kind;
    switch (bytes.error().kind) {
    case Kind::missing: return std::nullopt;
    case Kind::cannotOpen:
    case Kind::notRegular: return std::unexpected("not a regular file: " + std::string(path));
    case Kind::tooLarge: return std::unexpected("larger than " + readableSize(limit) + ": " + std::string(path));
    case Kind::unreadable: break;
    }
    return std::unexpected("unreadable: " + std::string(path));
}

/// Whether `path` below the bundle is a folder itself, not a symlink to one.
bool isRealFolder(const fs::path& bundle, std::string_view path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(bundle / path, error));
}

bool writeFile(const fs::path& file, std::string_view text) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream.close();
    return static_cast<bool>(stream);
}

}  // namespace

std::expected<void, std::string> signBundle(const fs::path& bundle, std::string_view privateKeyPem,
                                            std::string_view team) {
    const auto manifestFile = bundle / BundleSeal::manifestPath;
    const auto signatureFile = bundle / BundleSeal::signaturePath;
    std::error_code error;
    fs::remove(manifestFile, error);
    fs::remove(signatureFile, error);
    const auto listing = BundleSeal::list(bundle);
    if (!listing) return std::unexpected(listing.error());
    const std::string manifest = BundleSeal::manifest(team, *listing);
    const auto signature = Ed25519::sign(privateKeyPem, manifest);
    if (!signature) return std::unexpected(signature.error());

    fs::create_directories(manifestFile.parent_path(), error);
    if (error || !writeFile(manifestFile, manifest) || !writeFile(signatureFile, hexOf(*signature) + "\n"))
        return std::unexpected("cannot write the seal into " + manifestFile.parent_path().string());
    return {};
}

std::expected<void, std::string> verifyBundle(const fs::path& bundle, std::string_view publicKeyPem,
                                              std::string_view team, const UpdateLimits& limits) {
    // why: a seal folder elsewhere (through a symlink) would let files outside the bundle vouch for it.
    if (!isRealFolder(bundle, "Contents") || !isRealFolder(bundle, BundleSeal::folderPath))
        return std::unexpected("not signed: no seal in " + std::string(BundleSeal::folderPath));
    const auto manifest = readSealFile(bundle, BundleSeal::manifestPath, limits.manifestBytes);
    if (!manifest) return std::unexpected(manifest.error());
    const auto signatureText = readSealFile(bundle, BundleSeal::signaturePath, limits.signatureBytes);
    if (!signatureText) return std::unexpected(signatureText.error());
    if (!*manifest || !*signatureText)
        return std::unexpected("not signed: no seal in " + std::string(BundleSeal::folderPath));
    std::string_view hex = **signatureText;
    if (hex.ends_with('\n')) hex.remove_suffix(1);
    const auto signature = bytesOfHex(hex);
    if (!signature || !Ed25519::verify(publicKeyPem, **manifest, *signature))
        return std::unexpected("signature does not match the key of team " + std::string(team));
    if (std::string problems = BundleSeal::differences(bundle, **manifest, team); !problems.empty())
        return std::unexpected(std::move(problems));
    return {};
}

}  // namespace folioport
