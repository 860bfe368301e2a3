#include "platform/Posix.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
        // why: one byte past the limit tells that the file grew beyond it after the check.
        bytes.resize(limit + 1);
        std::size_t filled = 0;
        while (filled < bytes.size()) {
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

}  // namespace folioport::platform
