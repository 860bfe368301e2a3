#include "updater/Checksum.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <memory>

#include "storage/Utf8.h"

namespace folioport {

namespace {

std::string hexOf(const unsigned char* digest, unsigned int length) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int index = 0; index < length; ++index) {
        text += digits[digest[index] >> 4];
        text += digits[digest[index] & 0x0F];
    }
    return text;
}

struct DigestDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    return hexOf(digest, length);
}

std::optional<std::string> sha256HexOfFile(int fd) {
    const std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return hexOf(digest, length);
}

StepResult<void> verifyChecksum(const std::filesystem::path& archive, const std::optional<std::string>& expected) {
    if (!expected || expected->empty()) return {};
    const int file = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    const auto digest = file >= 0 ? sha256HexOfFile(file) : std::nullopt;
    const std::error_code readError{errno, std::generic_category()};
    if (file >= 0) ::close(file);
    if (!digest) return systemFailure("Could not read", archive, readError);
    const std::string& actual = *digest;
    const bool same = std::ranges::equal(actual, *expected, [](char a, char b) {
        return Utf8::asciiLowered(a) == Utf8::asciiLowered(b);
    });
    if (!same) return std::unexpected(UpdateError::checksumMismatch());
    return {};
}

}  // namespace folioport
