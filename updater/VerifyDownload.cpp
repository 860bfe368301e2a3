#include "updater/VerifyDownload.h"

#include "storage/Utf8.h"
#include "updater/BundleSignature.h"
#include "updater/BundleVersion.h"
#include "updater/Checksum.h"
#include "updater/Unpack.h"

namespace folioport {

StepResult<void> verifySignature(const std::filesystem::path& bundle, std::string_view publicKeyPem,
                                 std::string_view team, const UpdateLimits& limits) {
    auto verified = verifyBundle(bundle, publicKeyPem, team, limits);
    if (!verified)
        return std::unexpected(UpdateError::signature(std::string(Utf8::trim(verified.error(), Utf8::isWhiteSpace))));
    return {};
}

StepResult<std::filesystem::path> verifyDownload(const std::filesystem::path& archive, const std::filesystem::path& folder,
                                                 const DownloadExpectations& expected, const UpdateLimits& limits) {
    if (auto digest = verifyChecksum(archive, expected.sha256); !digest) return std::unexpected(digest.error());
    auto bundle = unpack(archive, folder, limits);
    if (!bundle) return bundle;
    if (auto sealed = verifySignature(*bundle, expected.publicKeyPem, expected.team, limits); !sealed)
        return std::unexpected(sealed.error());
    if (auto version = verifyVersion(*bundle, expected.version, expected.runningBuild); !version)
        return std::unexpected(version.error());
    return bundle;
}

}  // namespace folioport
