#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzChecks.h"
#include "confluence/RateLimit.h"

// A Retry-After value read at any moment the clock can hold: the first 8 bytes pick the moment, the rest is
// the value. A wait is never negative, and a value that is all digits is that many seconds.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace std::chrono;
    std::int64_t ticks = 0;
    if (size >= sizeof ticks) {
        std::memcpy(&ticks, data, sizeof ticks);
        data += sizeof ticks;
        size -= sizeof ticks;
    }
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    const system_clock::time_point now{system_clock::duration(ticks)};
    const auto wait = folioport::retryAfterDelay(value, now);
    if (wait) folioport::fuzz::require(*wait >= seconds(0));
    return 0;
}
