#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzChecks.h"
#include "updater/Unpack.h"

namespace fs = std::filesystem;

// The update archive is whatever the download brought: any bytes unpack into the folder, within the limits,
// or fail with one sentence; nothing lands beside the folder, and only folders, files and links inside it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using folioport::fuzz::require;
    static const fs::path sandbox = folioport::fuzz::scratchFolder("archive-walk-fuzz");
    const fs::path archive = sandbox / "update.zip";
    const fs::path folder = sandbox / "unpacked";
    std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fs::create_directory(folder);

    const folioport::UpdateLimits limits{.unpackedBytes = 1 << 20, .entries = 200, .depth = 8};
    const auto bundle = folioport::unpack(archive, folder, limits);
    require(bundle ? bundle->parent_path() == folder && bundle->extension() == ".app"
                   : bundle.error().starts_with("Download failed: ") || bundle.error().starts_with("Could not "));
    std::size_t written = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const auto status = entry.symlink_status();
        require(fs::is_directory(status) || fs::is_regular_file(status) || fs::is_symlink(status));
        require((status.permissions() & (fs::perms::group_write | fs::perms::others_write)) == fs::perms::none ||
                fs::is_symlink(status));
        if (fs::is_regular_file(status)) written += fs::file_size(entry.path());
    }
    require(written <= limits.unpackedBytes);
    require(std::distance(fs::directory_iterator(sandbox), fs::directory_iterator()) == 2);
    fs::remove_all(folder);
    return 0;
}
