#include "updater/UpdateError.h"

namespace folioport {

std::string describe(const UpdateError& error) {
    using enum UpdateError::Kind;
    switch (error.kind) {
    case badFeed: return "Update check failed: " + error.text;
    case badDownload: return "Download failed: " + error.text;
    case signature: return "Download rejected: not signed by the expected developer.\n" + error.text;
    case versionMismatch:
        return "Download rejected: bundle is v" + error.text + ", manifest promised v" + error.expectedVersion + ".";
    case notNewer:
        return "Download rejected: the bundle's build " + error.text + " is not newer than the running build " +
               error.expectedVersion + ".";
    case notWritable: return "Can't replace " + error.text + " — no write permission.";
    case checksumMismatch: return "Download rejected: checksum doesn't match the manifest.";
    }
    return {};
}

}  // namespace folioport
