#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace folioport {

/// Whether a read the site answers with 429 is sent again once, after the wait the site asks for.
enum class RateLimitRetry { onceAfterWait, never };

/// The longest wait a retry sits through; a site that asks for more gets the 429 reported instead.
inline constexpr std::chrono::seconds longestRetryWait{10};

/// The wait a Retry-After header asks for: delta-seconds ("120") or an IMF-fixdate
/// ("Sun, 06 Nov 1994 08:49:37 GMT", counted from `now` and rounded up; a date in the past is 0 s).
/// Absent for an empty value, any other form, a number beyond 64 bits, or more than 64 characters,
/// all of which count as no header at all.
std::optional<std::chrono::seconds> retryAfterDelay(std::string_view value, std::chrono::system_clock::time_point now);

}  // namespace folioport
