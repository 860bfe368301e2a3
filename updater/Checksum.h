#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "updater/InstallStep.h"

namespace folioport {

/// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

/// SHA-256 of everything left to read from the open file, as sha256Hex gives it; absent when reading fails.
std::optional<std::string> sha256HexOfFile(int fd);

/// Compares the archive's SHA-256 with the feed's digest, ignoring letter case; without a digest there is
/// nothing to compare and the archive passes.
StepResult<void> verifyChecksum(const std::filesystem::path& archive, const std::optional<std::string>& expected);

}  // namespace folioport
