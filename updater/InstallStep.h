#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "updater/UpdateError.h"

namespace folioport {

/// What one installation step gives: its result, or the sentence the user reads when it failed.
template <class T>
using StepResult = std::expected<T, std::string>;

/// A step failing with one of the updater's own errors.
inline std::unexpected<std::string> failure(const UpdateError& error) { return std::unexpected(describe(error)); }

/// A step failing with the system's description of a file or process error, naming what was attempted.
inline std::unexpected<std::string> systemFailure(std::string_view attempt, const std::filesystem::path& path,
                                                  std::error_code error) {
    return std::unexpected(std::string(attempt) + " " + path.string() + ": " + error.message() + ".");
}

}  // namespace folioport
