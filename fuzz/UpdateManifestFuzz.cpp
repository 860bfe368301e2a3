#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzChecks.h"
#include "updater/UpdateManifest.h"

// The update feed is whatever the feed's server sends: any bytes decode to a manifest or one sentence.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto manifest = folioport::decodeManifest(text);
    folioport::fuzz::require(manifest.has_value() || manifest.error().starts_with("The update feed"));
    return 0;
}
