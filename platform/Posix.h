#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace folioport::platform {

/// Owns an open file descriptor (or none, -1) and closes it when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor();
    int get() const { return fd_; }

private:
    int fd_;
};

/// The running program's executable (/proc/self/exe), or an empty path when it cannot be read.
std::filesystem::path runningExecutable();

/// Makes every allocation of 1 MB or more a mapping of its own, given back to the system when freed. Left
/// to itself, glibc raises that threshold after the first such free, and from then on a page body's
/// buffers (the answer, its record, the editor's copy) stay in the heap after use.
void returnLargeAllocationsWhenFreed();

/// Writes all bytes to the descriptor, retrying after interruptions and short writes; false on any other failure.
bool writeAll(int fd, std::string_view bytes);

/// Why readRegularFile read nothing; `error` is the errno of a failed open or read.
struct FileReadFailure {
    enum class Kind { missing, cannotOpen, notRegular, tooLarge, unreadable } kind;
    int error = 0;
};

/// The whole of a regular file of at most `limit` bytes. Opened without blocking and checked on the open
/// descriptor, so a FIFO or device is never read; with `followSymlinks` false a symlink cannot be opened.
std::expected<std::string, FileReadFailure> readRegularFile(const std::filesystem::path& file, std::size_t limit,
                                                            bool followSymlinks);

}  // namespace folioport::platform
