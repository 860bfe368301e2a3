#include "updater/UpdateError.h"

namespace folioport {

std::string describe(const UpdateError& error) {
    using enum UpdateError::Kind;
    switch (error.kind) {
    case badFeed: return "Update check failed: " + error.text;
    case badManifest:
    case network: return error.text;
    case system:
        return error.text + ": " + (error.detail.empty() ? "the system gave no reason" : error.detail) + ".";
    case badDownload:
    case damagedArchive: return "Download failed: " + error.text;
    case unsafeEntry: return "Download failed: " + error.text + " in the archive (" + error.detail + ")";
    case linkOutside:
        return "Download failed: symlink pointing outside the archive (" + error.text + " -> " + error.detail + ")";
    case archiveTooLarge: return "Download failed: the archive " + error.text;
    case noBundle: return "Download failed: no .app inside the archive";
    case signature: return "Download rejected: not signed by the expected developer.\n" + error.text;
    case versionMismatch:
        return "Download rejected: bundle is v" + error.text + ", manifest promised v" + error.detail + ".";
    case badBuildNumber:
        return "Download rejected: the bundle's build number " + error.text +
               " is not numbers separated by dots, such as 104 or 1.0.4.";
    case notNewer:
        return "Download rejected: the bundle's build " + error.text + " is not newer than the running build " +
               error.detail + ".";
    case notWritable: return "Can't replace " + error.text + " — no write permission.";
    case unsafeFolder:
        return "Can't update: other users can write to " + error.text +
               ", so they could put a program of their own in place of the update. Take away their write "
               "permission (chmod go-w) and try again.";
    case notInstalled: return "The update was not installed: " + error.text + ".";
    case checksumMismatch: return "Download rejected: checksum doesn't match the manifest.";
    }
    return {};
}

}  // namespace folioport
