#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzChecks.h"
#include "platform/Preferences.h"

// The preferences file with any contents: reading never throws, and every typed read answers a value
// of its type (a page limit is never 0, which reads as the fallback).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport::platform;
    static const int fd = ::memfd_create("preferences.json", 0);
    static const std::string file = "/proc/self/fd/" + std::to_string(fd);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

    const Preferences preferences = Preferences::read(file);
    for (auto key : {StringPreference::baseURL, StringPreference::email, StringPreference::spaceKey,
                     StringPreference::updateFeedURL})
        (void)preferences.string(key);
    folioport::fuzz::require(preferences.integer(IntegerPreference::pageLimit) != 0);
    (void)preferences.integer(IntegerPreference::refreshMinutes);
    (void)preferences.boolean(BooleanPreference::autoUpdate);
    return 0;
}
