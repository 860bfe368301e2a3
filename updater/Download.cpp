#include "updater/Download.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/HttpTransport.h"

namespace folioport {

StepResult<std::filesystem::path> download(const std::string& url, const std::filesystem::path& workFolder,
                                           const UpdateLimits& limits, std::stop_token stop) {
    const auto archive = workFolder / "update.zip";
    const int file = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) return systemFailure("Could not write", archive, {errno, std::generic_category()});
    auto response = platform::HttpTransport::send({.method = "GET",
                                                   .url = url,
                                                   .headers = {},
                                                   .body = std::nullopt,
                                                   .timeout = limits.downloadTime,
                                                   .maxBodyBytes = limits.archiveBytes,
                                                   .bodyFile = file,
                                                   .lowSpeedBytes = limits.lowSpeedBytes,
                                                   .lowSpeedTime = limits.lowSpeedTime},
                                                  stop);
    const bool closed = ::close(file) == 0;
    const std::error_code closeError{errno, std::generic_category()};
    if (!response) {
        using enum platform::HttpFailure::Kind;
        switch (response.error().kind) {
        case badURL: return std::unexpected(UpdateError::badDownload("bad download URL"));
        case tooLarge:
            return std::unexpected(
                UpdateError::badDownload("the archive is larger than " + readableSize(limits.archiveBytes)));
        case tooSlow:
            return std::unexpected(UpdateError::badDownload(
                "the server sent less than " + readableSize(limits.lowSpeedBytes) + " a second for " +
                readableDuration(limits.lowSpeedTime) + ", or the download took longer than " +
                readableDuration(limits.downloadTime)));
        case transport: return std::unexpected(UpdateError::network(response.error().message));
        }
    }
    if (response->status != 200)
        return std::unexpected(UpdateError::badDownload("HTTP " + std::to_string(response->status)));
    if (!closed) return systemFailure("Could not write", archive, closeError);
    return archive;
}

}  // namespace folioport
