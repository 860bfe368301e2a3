#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "storage/Utf8.h"

namespace folioport::fuzz {

/// Stops the run (so libFuzzer keeps the input) when an invariant does not hold.
inline void require(bool holds) {
    if (!holds) std::abort();
}

/// A new folder in the temporary folder, named after `prefix`, removed when the run ends; for targets whose
/// input must lie in files.
inline std::filesystem::path scratchFolder(std::string_view prefix) {
    std::string folder = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(folder.data())) std::abort();
    static std::filesystem::path removed;
    removed = folder;
    std::atexit([] { std::filesystem::remove_all(removed); });
    return folder;
}

}  // namespace folioport::fuzz
