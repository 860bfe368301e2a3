#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "updater/InstallStep.h"

namespace folioport {

/// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

/// Compares the archive's SHA-256 with the feed's digest, ignoring letter case; without a digest there is
/// nothing to compare and the archive passes.
StepResult<void> verifyChecksum(const std::filesystem::path& archive, const std::optional<std::string>& expected);

}  // namespace folioport
