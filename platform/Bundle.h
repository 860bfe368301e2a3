#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace folioport::platform::Bundle {

/// The nearest folder named "*.app" above the running executable that holds Contents/Info.plist,
/// or absent for a bare executable (as in a build tree).
std::optional<std::filesystem::path> location();

/// A string value of the running bundle's Info.plist; absent without a bundle, for a missing key
/// or a value of another type.
std::optional<std::string> infoString(std::string_view key);

/// A string value of an Info.plist file, XML or binary; absent when unreadable, missing or not a string.
std::optional<std::string> readInfoString(const std::filesystem::path& plist, std::string_view key);

}  // namespace folioport::platform::Bundle
