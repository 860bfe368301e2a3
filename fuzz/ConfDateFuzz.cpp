#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "confluence/ConfDate.h"
#include "confluence/RateLimit.h"

// ConfDate on any text: whatever parses can be labelled and worded. A Retry-After value is never a negative wait.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto date = ConfDate::parse(text)) {
        (void)ConfDate::dayLabel(*date);
        (void)ConfDate::relativeDays(*date, std::chrono::system_clock::now());
    }
    if (const auto wait = retryAfterDelay(text, std::chrono::system_clock::now())) fuzz::require(wait->count() >= 0);
    return 0;
}
