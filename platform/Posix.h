#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace folioport::platform {

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
