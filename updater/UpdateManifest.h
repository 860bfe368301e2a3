#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace folioport {

/// One entry of the update feed: the version offered and where its archive is.
struct UpdateManifest {
    std::string version;  ///< compared with the running version
    std::optional<std::string> build;
    std::optional<std::string> date;  ///< release date as written
    std::string url;                  ///< address of the update archive
    std::optional<std::string> sha256;  ///< hexadecimal digest of the archive, either letter case
    std::optional<std::string> notes;
    std::optional<std::string> minimumSystemVersion;

    bool operator==(const UpdateManifest&) const = default;
};

/// Decodes a feed document strictly: one JSON object whose members of these exact names are strings;
/// other members are ignored; an optional member that is missing or null stays empty. On failure, a
/// sentence naming the first offending member, such as "The update feed has no \"url\"."
std::expected<UpdateManifest, std::string> decodeManifest(std::string_view json);

/// The feed document of one entry, as decodeManifest reads it back.
std::string encodeManifest(const UpdateManifest& manifest);

}  // namespace folioport
