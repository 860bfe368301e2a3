#include "updater/Download.h"

#include <openssl/rand.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/HttpTransport.h"

namespace folioport {
namespace {

/// "FolioportUpdate-" + a new random (version 4) UUID in its canonical upper-case form.
std::string newWorkFolderName() {
    std::array<unsigned char, 16> bytes{};
    RAND_bytes(bytes.data(), static_cast<int>(bytes.size()));
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string text = "FolioportUpdate-";
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) text += '-';
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[index]);
        text += digits;
    }
    return text;
}

}  // namespace

StepResult<std::filesystem::path> download(const std::string& url, const std::filesystem::path& temporaryFolder,
                                           std::stop_token stop) {
    // why: an archive may take long on a slow line, so unlike the feed's check there is no time limit (0).
    auto response = platform::HttpTransport::send(
        {.method = "GET", .url = url, .headers = {}, .body = std::nullopt, .timeout = std::chrono::milliseconds(0)}, stop);
    if (!response) {
        if (response.error().kind == platform::HttpFailure::Kind::badURL)
            return failure(UpdateError::badDownload("bad download URL"));
        return std::unexpected(response.error().message);
    }
    if (response->status != 200) return failure(UpdateError::badDownload("HTTP " + std::to_string(response->status)));

    const auto workFolder = temporaryFolder / newWorkFolderName();
    std::error_code error;
    std::filesystem::create_directories(workFolder, error);
    if (error) return systemFailure("Could not create the folder", workFolder, error);
    const auto archive = workFolder / "update.zip";
    std::ofstream file(archive, std::ios::binary);
    file.write(response->body.data(), static_cast<std::streamsize>(response->body.size()));
    file.close();
    if (!file) {
        const std::error_code writeError(errno, std::generic_category());
        std::filesystem::remove_all(workFolder, error);
        return systemFailure("Could not write", archive, writeError);
    }
    return archive;
}

}  // namespace folioport
