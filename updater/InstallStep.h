#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <new>
#include <system_error>
#include <type_traits>

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
    // why: a call that failed without setting errno would otherwise report "Success" or "Unknown error".
    const std::string reason = error.value() > 0 ? error.message() : "the system gave no reason";
    return std::unexpected(std::string(attempt) + " " + path.string() + ": " + reason + ".");
}

/// `work` (a step for a worker thread) as a call that never throws: an exception becomes the failure
/// `asError` makes of a short reason, so it cannot end the process.
template <class Work>
auto withoutExceptions(Work work, UpdateError (*asError)(std::string)) {
    return [work = std::move(work), asError]() mutable -> std::invoke_result_t<Work&> {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            return failure(asError("not enough memory"));
        } catch (...) {
            return failure(asError("an unexpected internal error"));
        }
    };
}

}  // namespace folioport
