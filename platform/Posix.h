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

/// Replaces `target` with `bytes` so that a reader, a crash or a kill leaves either the old or the new file, never a
/// part of one: a temporary file beside it ("<target>.tmp.<pid>.XXXXXX", mode 0600) is written and synced, renamed
/// over it, and the folder synced. On failure the temporary file is gone, `target` is as it was, and the answer
/// says why (the system's reason).
std::expected<void, std::string> replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

/// Deletes the temporary files in `folder` that replaceFileAtomically left when its process was killed mid-write
/// (those of running processes stay): of the file named `fileName`, or of any file when it is empty.
void removeAbandonedTemporaries(const std::filesystem::path& folder, std::string_view fileName = {});

}  // namespace folioport::platform
