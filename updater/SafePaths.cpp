#include "updater/SafePaths.h"

#include <algorithm>

namespace folioport {

bool isContainedName(std::string_view name) {
    const std::filesystem::path path(name);
    if (name.empty() || path.has_root_path()) return false;
    return std::ranges::none_of(path, [](const std::filesystem::path& part) { return part == ".."; });
}

bool linkStaysInside(const std::filesystem::path& link, const std::filesystem::path& root) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(link, error);
    if (error || target.is_absolute()) return false;
    // why: ".." after a link climbs from the link's target, not from the link, so only the real
    // resolution tells where a chain of individually harmless links ends.
    const auto resolved = std::filesystem::weakly_canonical(link, error);
    if (error) return false;
    const auto base = std::filesystem::canonical(root, error);
    if (error) return false;
    const auto [rootEnd, unused] = std::ranges::mismatch(base, resolved);
    return rootEnd == base.end();
}

}  // namespace folioport
