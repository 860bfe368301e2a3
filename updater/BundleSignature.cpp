#include "updater/BundleSignature.h"

#include <fstream>
#include <iterator>
#include <optional>

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

std::optional<std::string> readFile(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return std::nullopt;
    return std::string{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
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
                                              std::string_view team) {
    const auto manifest = readFile(bundle / BundleSeal::manifestPath);
    const auto signatureText = readFile(bundle / BundleSeal::signaturePath);
    if (!manifest || !signatureText) return std::unexpected("not signed: no seal in " + std::string(BundleSeal::folderPath));
    std::string_view hex = *signatureText;
    if (hex.ends_with('\n')) hex.remove_suffix(1);
    const auto signature = bytesOfHex(hex);
    if (!signature || !Ed25519::verify(publicKeyPem, *manifest, *signature))
        return std::unexpected("signature does not match the key of team " + std::string(team));
    if (std::string problems = BundleSeal::differences(bundle, *manifest, team); !problems.empty())
        return std::unexpected(std::move(problems));
    return {};
}

}  // namespace folioport
