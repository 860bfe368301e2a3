#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzChecks.h"
#include "storage/Storage.h"

// fromPlainText on any bytes: valid UTF-8 out, never a line feed, and nothing outside the blocks' tags.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string storage = Storage::fromPlainText({reinterpret_cast<const char*>(data), size});
    fuzz::require(Utf8::isValid(storage));
    fuzz::require(storage.find('\n') == std::string::npos);
    fuzz::require(storage.empty() || (storage.front() == '<' && storage.back() == '>'));
    return 0;
}
