#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzChecks.h"
#include "updater/BundleSeal.h"

namespace {

namespace fs = std::filesystem;

/// A small bundle made once per run, for manifests to be compared with.
fs::path makeBundle() {
    const fs::path root = folioport::fuzz::scratchFolder("seal-manifest-fuzz") / "Folioport.app";
    fs::create_directories(root / "Contents/bin");
    std::ofstream(root / "Contents/Info.plist") << "<plist/>";
    std::ofstream(root / "Contents/bin/Folioport") << "#!/bin/sh\n";
    fs::create_symlink("bin/Folioport", root / "Contents/link");
    return root;
}

}  // namespace

// The seal's manifest arrives inside the downloaded archive: any bytes are compared with the bundle, giving
// either nothing (a match) or lines that each say what is wrong, never a crash or a hang.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view manifest(reinterpret_cast<const char*>(data), size);
    static const fs::path bundle = makeBundle();
    const std::string problems = folioport::BundleSeal::differences(bundle, manifest, "Q7R2K9M4ZX");
    const auto listing = folioport::BundleSeal::list(bundle);
    folioport::fuzz::require(listing.has_value());
    // A match needs the header for the team and a line for every entry of the bundle.
    if (problems.empty())
        folioport::fuzz::require(manifest.starts_with("folioport-seal 1 team=Q7R2K9M4ZX\n") &&
                                 std::ranges::all_of(*listing, [&](const auto& entry) {
                                     return manifest.find(entry.second) != std::string_view::npos;
                                 }));
    return 0;
}
