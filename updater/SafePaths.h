#pragma once

#include <filesystem>
#include <string_view>

namespace folioport {

/// An archive member name that extracts inside the target folder: relative, with no ".." component.
bool isContainedName(std::string_view name);

/// Whether the symlink `link` resolves, through every link on the way, to a place inside the folder
/// `root`. An absolute target never counts as inside, nor a loop.
bool linkStaysInside(const std::filesystem::path& link, const std::filesystem::path& root);

}  // namespace folioport
