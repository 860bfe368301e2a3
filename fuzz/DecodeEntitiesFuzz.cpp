#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzChecks.h"
#include "storage/Storage.h"

// decodeEntities on any bytes: valid UTF-8 out; valid text without "&" comes back unchanged, and
// decoding never makes valid text longer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = Storage::decodeEntities(text);
    fuzz::require(Utf8::isValid(decoded));
    if (Utf8::isValid(text)) {
        fuzz::require(decoded.size() <= text.size());
        if (text.find('&') == std::string_view::npos) fuzz::require(decoded == text);
    }
    return 0;
}
