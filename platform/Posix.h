#pragma once

#include <filesystem>
#include <string_view>

namespace folioport::platform {

/// The running program's executable (/proc/self/exe), or an empty path when it cannot be read.
std::filesystem::path runningExecutable();

/// Writes all bytes to the descriptor, retrying after interruptions and short writes; false on any other failure.
bool writeAll(int fd, std::string_view bytes);

}  // namespace folioport::platform
