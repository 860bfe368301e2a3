#include "platform/Posix.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <limits>

namespace folioport::platform {

Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path runningExecutable() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

void returnLargeAllocationsWhenFreed() { mallopt(M_MMAP_THRESHOLD, 1 << 20); }

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::expected<std::string, FileReadFailure> readRegularFile(const std::filesystem::path& file, std::size_t limit,
                                                            bool followSymlinks) {
    using Kind = FileReadFailure::Kind;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followSymlinks ? 0 : O_NOFOLLOW));
    if (fd < 0) return std::unexpected(FileReadFailure{errno == ENOENT ? Kind::missing : Kind::cannotOpen, errno});
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const bool fits = static_cast<std::size_t>(status.st_size) <= limit;
    std::string bytes;
    int readError = 0;
    if (regular && fits) {
        // why: one byte past the limit tells that the file grew beyond it after the check; the buffer starts at
        // the file's size, so a small file under a large limit takes no more memory than it needs.
        bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
        std::size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (bytes.size() > limit) break;
                bytes.resize(std::min(limit + 1, 2 * bytes.size()));
            }
            const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) readError = errno;
            if (got <= 0) break;
            filled += static_cast<std::size_t>(got);
        }
        bytes.resize(filled);
    }
    ::close(fd);
    if (!regular) return std::unexpected(FileReadFailure{Kind::notRegular});
    if (!fits || bytes.size() > limit) return std::unexpected(FileReadFailure{Kind::tooLarge});
    if (readError != 0) return std::unexpected(FileReadFailure{Kind::unreadable, readError});
    return bytes;
}

std::expected<void, std::string> replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    auto failure = [](const std::string& what) { return std::unexpected(what + ": " + std::strerror(errno)); };
    std::string temporary = target.string() + ".tmp." + std::to_string(::getpid()) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failure("cannot create a temporary file beside " + target.string());

    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    std::string reason = written ? std::string{} : failure("cannot write " + temporary).error();
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        if (written) reason = failure("cannot replace " + target.string()).error();
        ::unlink(temporary.c_str());
        return std::unexpected(reason);
    }
    // why: without syncing the folder, a crash right after the rename can bring back the old file.
    if (const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

void removeAbandonedTemporaries(const std::filesystem::path& folder, std::string_view fileName) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        const std::size_t marker = name.rfind(".tmp.");
        if (marker == std::string::npos || (!fileName.empty() && name.compare(0, marker, fileName) != 0)) continue;
        long writer = 0;
        const char* digits = name.c_str() + marker + 5;
        const auto [end, failed] = std::from_chars(digits, name.c_str() + name.size(), writer);
        if (failed != std::errc{} || *end != '.' || writer <= 0 || writer > std::numeric_limits<pid_t>::max()) continue;
        if (::kill(static_cast<pid_t>(writer), 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());
    }
}

}  // namespace folioport::platform
