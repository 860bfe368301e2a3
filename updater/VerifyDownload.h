#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "updater/InstallStep.h"
#include "updater/UpdateLimits.h"

namespace folioport {

/// What a downloaded archive must match: the feed's promise and the maker's key.
struct DownloadExpectations {
    std::optional<std::string> sha256;  ///< the feed's digest; absent or empty: not compared
    std::string version;                ///< the feed's version, compared as text with the bundle's
    std::string runningBuild;           ///< the bundle's build number must sort after this one
    std::string_view publicKeyPem;      ///< the key the bundle's seal must be signed with
    std::string_view team;              ///< the team the seal must be made for
};

/// Checks the bundle's seal against the key and team; a failure quotes the checker's lines.
StepResult<void> verifySignature(const std::filesystem::path& bundle, std::string_view publicKeyPem,
                                 std::string_view team, const UpdateLimits& limits);

/// The verifying half of an installation, in order: digest, unpack into `folder`, seal, version and build.
/// Gives the new bundle.
StepResult<std::filesystem::path> verifyDownload(const std::filesystem::path& archive, const std::filesystem::path& folder,
                                                 const DownloadExpectations& expected, const UpdateLimits& limits);

}  // namespace folioport
