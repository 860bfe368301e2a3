#include "updater/Checksum.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "storage/Utf8.h"

namespace folioport {

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int index = 0; index < length; ++index) {
        text += digits[digest[index] >> 4];
        text += digits[digest[index] & 0x0F];
    }
    return text;
}

StepResult<void> verifyChecksum(const std::filesystem::path& archive, const std::optional<std::string>& expected) {
    if (!expected || expected->empty()) return {};
    std::ifstream file(archive, std::ios::binary);
    if (!file) return systemFailure("Could not read", archive, {errno, std::generic_category()});
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string actual = sha256Hex(bytes);
    const bool same = std::ranges::equal(actual, *expected, [](char a, char b) {
        return Utf8::asciiLowered(a) == Utf8::asciiLowered(b);
    });
    if (!same) return failure(UpdateError::checksumMismatch());
    return {};
}

}  // namespace folioport
