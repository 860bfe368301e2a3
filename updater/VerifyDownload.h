#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "updater/InstallStep.h"

namespace folioport {

/// What a downloaded archive must match: the feed's promise and the maker's key.
struct DownloadExpectations {
    std::optional<std::string> sha256;  ///< the feed's digest; absent or empty: not compared
    std::string version;                ///< the feed's version, compared as text with the bundle's
    std::string_view publicKeyPem;      ///< the key the bundle's seal must be signed with
    std::string_view team;              ///< the team the seal must be made for
};

/// Checks the bundle's seal against the key and team; a failure quotes the checker's lines.
StepResult<void> verifySignature(const std::filesystem::path& bundle, std::string_view publicKeyPem,
                                 std::string_view team);

/// The verifying half of an installation, in order: digest, unpack, seal, version. Gives the new bundle.
StepResult<std::filesystem::path> verifyDownload(const std::filesystem::path& archive,
                                                 const DownloadExpectations& expected);

}  // namespace folioport
