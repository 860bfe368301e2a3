#pragma once

#include <expected>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace folioport::BundleSeal {

/// The seal's folder and its two files inside a bundle: the only entries that the seal does not cover.
inline constexpr std::string_view folderPath = "Contents/Seal";
inline constexpr std::string_view manifestPath = "Contents/Seal/manifest";
inline constexpr std::string_view signaturePath = "Contents/Seal/signature";

/// One line per folder, file and symlink below a bundle, keyed by its relative path:
/// "d\t<mode>\t<path>", "f\t<mode>\t<SHA-256>\t<path>", "l\t<target>\t<path>"; the mode is 755 or 644 unless
/// it has setuid, setgid, sticky or other-write bits, then exactly its permissions in octal.
using Listing = std::map<std::string, std::string>;

/// Lists a bundle as its seal describes it. Fails with one line naming the first entry that cannot be sealed:
/// another file type, a name with a tab or line break, an unreadable file, or a symlink leaving the bundle;
/// or saying that the bundle itself is not a folder (a file, a symlink).
std::expected<Listing, std::string> list(const std::filesystem::path& bundle);

/// The manifest that is signed: a header naming the format and `team`, then the lines in path order.
std::string manifest(std::string_view team, const Listing& listing);

/// What differs between the bundle and a manifest made for `team`, one line per problem ("missing: P",
/// "added: P", "modified: P", or why the manifest itself does not fit); empty when everything matches.
std::string differences(const std::filesystem::path& bundle, std::string_view manifestText, std::string_view team);

}  // namespace folioport::BundleSeal
