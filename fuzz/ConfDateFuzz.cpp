#include <cstddef>
#include <cstdint>

#include "confluence/ConfDate.h"

// ConfDate on any text: whatever parses can be labelled and worded.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto date = ConfDate::parse(text)) {
        (void)ConfDate::dayLabel(*date);
        (void)ConfDate::relativeDays(*date, std::chrono::system_clock::now());
    }
    return 0;
}
