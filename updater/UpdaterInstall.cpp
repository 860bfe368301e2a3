// The installation half of the Updater: the pipeline's steps run on the pool, every state change on the
// main thread between them.
#include <unistd.h>

#include <cstdlib>

#include "async/OffThread.h"
#include "updater/Download.h"
#include "updater/InstallFolder.h"
#include "updater/SwapScript.h"
#include "updater/TrustedKey.h"
#include "updater/Updater.h"
#include "updater/VerifyDownload.h"

namespace folioport {
namespace {

constexpr const char* outsideBundle =
    "This copy of Folioport does not run from an installed Folioport.app, so it cannot update itself.";

/// A package marks the bundle it installs, so that even root, who may write anywhere, leaves it to apt.
bool packageInstalled(const std::filesystem::path& bundle) {
    return platform::Bundle::readInfoString(bundle / "Contents/Info.plist", "FolioportUpdatedBy").has_value();
}

}  // namespace

bool Updater::updatesThroughPackageManager() const {
    const auto installed = options_.installedBundle();
    return installed && (packageInstalled(*installed) || ::access(installed->parent_path().c_str(), W_OK) != 0);
}

void Updater::install() {
    if (!available_ || isChecking_) return;
    const auto installed = options_.installedBundle();
    if (!installed) return assign(errorMessage_, {outsideBundle}, &Updater::errorMessageChanged);
    if (packageInstalled(*installed)) return assign(errorMessage_, {packageManagerSentence}, &Updater::errorMessageChanged);
    // why: the new bundle is unpacked beside the installed one, so this is known before anything is fetched.
    if (::access(installed->parent_path().c_str(), W_OK) != 0)
        return assign(errorMessage_, {describe(UpdateError::notWritable(installed->string()))},
                      &Updater::errorMessageChanged);
    if (auto safe = checkInstallFolder(*installed); !safe)
        return assign(errorMessage_, {describe(safe.error())}, &Updater::errorMessageChanged);

    UpdateManifest manifest = *available_;
    assign(errorMessage_, {}, &Updater::errorMessageChanged);
    assign(isChecking_, true, &Updater::isCheckingChanged);
    assign(status_, {"Downloading v" + manifest.version + "…"}, &Updater::statusChanged);

    const auto url = encodedURL(manifest.url, "download");
    if (!url) return failInstall(UpdateError::badDownload(url.error()));
    std::error_code error;
    const auto temporary = std::filesystem::temp_directory_path(error);
    if (error) {
        const char* named = std::getenv("TMPDIR");
        return failInstall(systemFailure("Could not use the temporary folder", named ? named : "", error).error());
    }
    auto folders = makeWorkFolders(temporary, *installed);
    if (!folders) return failInstall(folders.error());
    runOffThread(
        pool_, this,
        withoutExceptions(
            [url = *url, folders = *folders, installed = *installed, limits = options_.limits,
             stop = stop_.get_token()] {
                removeStaleStaging(installed);
                auto archive = download(url, folders.download, limits, stop);
                if (!archive) discardWorkFolders(folders);
                return archive;
            },
            UpdateError::badDownload),
        [this, manifest = std::move(manifest), folders = *folders,
         installed = *installed](StepResult<std::filesystem::path> archive) {
            verifyDownloaded(std::move(archive), manifest, folders, installed);
        });
}

void Updater::verifyDownloaded(StepResult<std::filesystem::path> archive, UpdateManifest manifest, WorkFolders folders,
                               std::filesystem::path installed) {
    if (!archive) {
        discardWorkFolders(folders);  // why: an exception may have skipped the worker's own clean-up.
        return failInstall(archive.error());
    }
    assign(status_, {"Verifying…"}, &Updater::statusChanged);
    runOffThread(
        pool_, this,
        withoutExceptions(
            [archive = *archive, manifest, folders, limits = options_.limits,
             runningBuild = options_.runningBuild()] {
                auto bundle = verifyDownload(archive, folders.stagingByDescriptor(),
                                             {.sha256 = manifest.sha256,
                                              .version = manifest.version,
                                              .runningBuild = runningBuild,
                                              .publicKeyPem = trustedUpdateKey(),
                                              .team = updateTeam},
                                             limits);
                if (!bundle) discardWorkFolders(folders);
                return bundle;
            },
            UpdateError::badDownload),
        [this, manifest, folders, installed = std::move(installed)](StepResult<std::filesystem::path> bundle) {
            swapVerified(std::move(bundle), manifest, folders, installed);
        });
}

void Updater::swapVerified(StepResult<std::filesystem::path> bundle, const UpdateManifest& manifest, WorkFolders folders,
                           std::filesystem::path installed) {
    if (!bundle) {
        // why: an exception may have skipped the worker's own clean-up.
        discardWorkFolders(folders);
        return failInstall(bundle.error());
    }
    assign(status_, {"Installing…"}, &Updater::statusChanged);
    // why: the archive is unpacked and verified; nothing needs its up to 256 MB any more.
    removeWorkFolder(folders.download);
    if (auto started = startSwap(folders, bundle->filename().string(), installed, manifest, ::getpid()); !started) {
        discardWorkFolders(folders);
        return failInstall(started.error());
    }
    // why: isChecking stays true; the process ends, and the new one starts with a fresh updater.
    options_.quit();
}

void Updater::failInstall(const UpdateError& error) {
    assign(status_, {}, &Updater::statusChanged);
    assign(errorMessage_, {describe(error)}, &Updater::errorMessageChanged);
    assign(isChecking_, false, &Updater::isCheckingChanged);
}

}  // namespace folioport
