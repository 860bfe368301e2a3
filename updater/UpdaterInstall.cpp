// The installation half of the Updater: the pipeline's steps run on the pool, every state change on the
// main thread between them.
#include <unistd.h>

#include "state/OffThread.h"
#include "updater/Download.h"
#include "updater/SwapScript.h"
#include "updater/TrustedKey.h"
#include "updater/Updater.h"
#include "updater/VerifyDownload.h"

namespace folioport {
namespace {

constexpr const char* outsideBundle =
    "This copy of Folioport does not run from an installed Folioport.app, so it cannot update itself.";

/// Deletes the work folder holding `item` (the archive or the unpack folder) with everything in it, after a
/// failed installation; a failure to delete is ignored.
void discardWorkFolderOf(const std::filesystem::path& item) {
    std::error_code ignored;
    std::filesystem::remove_all(item.parent_path(), ignored);
}

}  // namespace

void Updater::install() {
    if (!available_ || isChecking_) return;
    const auto installed = options_.installedBundle();
    if (!installed) return assign(errorMessage_, {outsideBundle}, &Updater::errorMessageChanged);

    UpdateManifest manifest = *available_;
    assign(errorMessage_, {}, &Updater::errorMessageChanged);
    assign(isChecking_, true, &Updater::isCheckingChanged);
    assign(status_, {"Downloading v" + manifest.version + "…"}, &Updater::statusChanged);

    const auto url = encodedURL(manifest.url);
    if (!url) return failInstall(describe(UpdateError::badDownload("bad download URL")));
    std::error_code error;
    const auto temporary = std::filesystem::temp_directory_path(error);
    if (error) return failInstall(systemFailure("Could not use the temporary folder", temporary, error).error());
    runOffThread(
        pool_, this, [url = *url, temporary, stop = stop_.get_token()] { return download(url, temporary, stop); },
        [this, manifest = std::move(manifest), installed = *installed](StepResult<std::filesystem::path> archive) {
            verifyDownloaded(std::move(archive), manifest, installed);
        });
}

void Updater::verifyDownloaded(StepResult<std::filesystem::path> archive, UpdateManifest manifest,
                               std::filesystem::path installed) {
    if (!archive) return failInstall(std::move(archive.error()));
    assign(status_, {"Verifying…"}, &Updater::statusChanged);
    runOffThread(
        pool_, this,
        [archive = *archive, manifest = std::move(manifest)] {
            auto bundle = verifyDownload(archive, {.sha256 = manifest.sha256,
                                                   .version = manifest.version,
                                                   .publicKeyPem = trustedUpdateKey(),
                                                   .team = updateTeam});
            if (!bundle) discardWorkFolderOf(archive);
            return bundle;
        },
        [this, installed = std::move(installed)](StepResult<std::filesystem::path> bundle) {
            swapVerified(std::move(bundle), installed);
        });
}

void Updater::swapVerified(StepResult<std::filesystem::path> bundle, std::filesystem::path installed) {
    if (!bundle) return failInstall(std::move(bundle.error()));
    assign(status_, {"Installing…"}, &Updater::statusChanged);
    if (auto started = startSwap(*bundle, installed, ::getpid()); !started) {
        discardWorkFolderOf(bundle->parent_path());
        return failInstall(std::move(started.error()));
    }
    // why: isChecking stays true; the process ends, and the new one starts with a fresh updater.
    options_.quit();
}

void Updater::failInstall(std::string message) {
    assign(status_, {}, &Updater::statusChanged);
    assign(errorMessage_, {std::move(message)}, &Updater::errorMessageChanged);
    assign(isChecking_, false, &Updater::isCheckingChanged);
}

}  // namespace folioport
