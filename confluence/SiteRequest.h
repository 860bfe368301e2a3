#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "confluence/ConfluenceConfig.h"
#include "confluence/ConfluenceError.h"
#include "confluence/RateLimit.h"

namespace folioport {

using QueryItems = std::vector<std::pair<std::string, std::string>>;

/// When one call's time is up, and how long it was given, for the sentence that reports it.
struct CallDeadline {
    std::chrono::steady_clock::time_point at;
    std::chrono::milliseconds length;
};

/// One exchange with the site. `path` is either absolute ("http…") or appended to the REST base (the site
/// address, or the stored gateway base); absolute addresses and redirects must stay on the site's or the
/// gateway's origin. `query` items are appended, in order, after any the path already carries. Answers
/// the body of a 2xx response (possibly empty); every other outcome is a ConfluenceError. No traffic when
/// the config is incomplete. A GET answered 429 with a Retry-After of at most longestRetryWait is sent once
/// more after that wait when `retry` allows and the wait ends before `deadline`; a stop during the wait ends
/// it at once, as a stopped request. Each exchange gets 60 seconds, or less when the deadline comes first;
/// past the deadline the request fails with the call's time-limit sentence.
std::expected<std::string, ConfluenceError> requestSite(const ConfluenceConfig& config, std::string_view method,
                                                        std::string_view path, const QueryItems& query,
                                                        const std::optional<std::string>& jsonBody,
                                                        std::stop_token stop, RateLimitRetry retry,
                                                        const CallDeadline& deadline);

/// An identifier percent-encoded as exactly one path segment ("/", "?", "#", "." and the rest escaped;
/// digits and letters unchanged).
std::string pathSegment(std::string_view id);

}  // namespace folioport
