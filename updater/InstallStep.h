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

/// What one installation step gives: its result, or the error whose sentence the user reads when it failed.
template <class T>
using StepResult = std::expected<T, UpdateError>;

/// A step failing with the system's description of a file or process error, naming what was attempted.
inline std::unexpected<UpdateError> systemFailure(std::string_view attempt, const std::filesystem::path& path,
                                                  std::error_code error) {
    // why: a call that failed without setting errno would otherwise report "Success" or "Unknown error".
    return std::unexpected(UpdateError::system(std::string(attempt) + " " + path.string(),
                                               error.value() > 0 ? error.message() : std::string()));
}

/// `work` (a step for a worker thread) as a call that never throws: an exception becomes the failure
/// `asError` makes of a short reason, so it cannot end the process.
template <class Work>
auto withoutExceptions(Work work, UpdateError (*asError)(std::string)) {
    return [work = std::move(work), asError]() mutable -> std::invoke_result_t<Work&> {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            return std::unexpected(asError("not enough memory"));
        } catch (...) {
            return std::unexpected(asError("an unexpected internal error"));
        }
    };
}

}  // namespace folioport
