#include "updater/SwapScript.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Posix.h"

extern char** environ;

namespace folioport {
namespace {

/// The note of a failed swap beside the installed bundle, named as the script names it.
std::filesystem::path noteFile(const std::filesystem::path& installedBundle) {
    return installedBundle.parent_path() / ("." + installedBundle.filename().string() + ".update-failed");
}

/// Writes `text` to the new file `name` in the folder `folder` (a descriptor); a failure leaves the file for
/// the folder's removal.
StepResult<void> writeNewFile(int folder, const std::filesystem::path& shownFolder, const char* name,
                              const std::string& text) {
    const platform::Descriptor file(::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0 || !platform::writeAll(file.get(), text))
        return systemFailure("Could not write", shownFolder / name, {errno, std::generic_category()});
    return {};
}

}  // namespace

std::string swapScript(pid_t pid) {
    return "#!/bin/sh\n"
           "# $1 = verified bundle staged beside the installed one, its folder open as descriptor 3;"
           " $2 = installed bundle to replace\n"
           "new=\"/proc/self/fd/3/${1##*/}\" staging=\"${1%/*}\" installed=\"$2\"\n"
           "lock=\"${2%/*}/.${2##*/}.lock\" note=\"${2%/*}/.${2##*/}.update-failed\" newline='\n'\n"
           "finish() {\n"
           "    [ \"$(/usr/bin/stat -Lc %d:%i /proc/self/fd/3)\" = \"$(/usr/bin/stat -c %d:%i \"$staging\")\" ] &&"
           " /bin/rm -rf \"$staging\"\n"
           "    exec 3>&- 4>&-\n"
           "    for bundle in \"$installed\" \"$installed.old\"; do\n"
           "        if [ -x \"$bundle/Contents/bin/Folioport\" ]; then\n"
           "            /usr/bin/setsid -f \"$bundle/Contents/bin/Folioport\" </dev/null >/dev/null 2>&1; break\n"
           "        fi\n"
           "    done\n"
           "}\n"
           "not_installed() {  # why, then the output of the command that failed: its first line ends with the reason\n"
           "    reason=\"${2%%\"$newline\"*}\"; reason=\"${reason##*: }\"\n"
           "    { printf '%s%s\\n' \"$1\" \"${reason:+ ($reason)}\"; /bin/cat /proc/self/fd/3/offer.json; } >\"$note\"\n"
           "    exit 1\n"
           "}\n"
           "trap finish EXIT\n"
           "while kill -0 " + std::to_string(pid) + " 2>/dev/null; do sleep 0.2; done\n"
           "out=$(: 2>&1 >>\"$lock\") && exec 4>>\"$lock\" && /usr/bin/flock 4 || not_installed \"could not lock $lock\" \"$out\"\n"
           "[ -d \"$new\" ] || not_installed \"the new version is gone from $staging\"\n"
           "[ \"$(/usr/bin/stat -c %d \"$new\")\" = \"$(/usr/bin/stat -c %d \"${2%/*}\")\" ] ||"
           " not_installed \"the new version is on another file system than $2\"\n"
           "[ -d \"$2\" ] || not_installed \"$2 is missing\"\n"
           "out=$(/bin/rm -rf \"$2.old\" 2>&1) || not_installed \"could not remove the backup $2.old\" \"$out\"\n"
           "out=$(/bin/mv -T \"$2\" \"$2.old\" 2>&1) || not_installed \"could not move $2 aside\" \"$out\"\n"
           "if ! out=$(/bin/mv -T \"$new\" \"$2\" 2>&1); then\n"
           "    /bin/mv -T \"$2.old\" \"$2\"\n"
           "    not_installed \"could not move the new version to $2\" \"$out\"\n"
           "fi\n"
           "/bin/rm -rf \"$2.old\"";
}

StepResult<void> startSwap(const WorkFolders& folders, const std::string& bundleName,
                           const std::filesystem::path& installedBundle, const UpdateManifest& offer, pid_t pid) {
    const int staging = folders.stagingFolder->get();
    if (auto written = writeNewFile(staging, folders.staging, "install.sh", swapScript(pid)); !written) return written;
    if (auto written = writeNewFile(staging, folders.staging, "offer.json", encodeManifest(offer)); !written)
        return written;

    const std::string shell = "/bin/sh";
    const std::string arguments[] = {"/proc/self/fd/3/install.sh", (folders.staging / bundleName).string(),
                                     installedBundle.string()};
    char* argv[] = {const_cast<char*>(shell.c_str()), const_cast<char*>(arguments[0].c_str()),
                    const_cast<char*>(arguments[1].c_str()), const_cast<char*>(arguments[2].c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    // why: the script works in the staging folder through this descriptor and keeps its lock after we end.
    posix_spawn_file_actions_adddup2(&actions, staging, 3);
    // why: the script and the application it starts outlive us; they must not hold our sockets and pipes.
    posix_spawn_file_actions_addclosefrom_np(&actions, 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // why: a session of its own, so the script outlives the application and whatever terminal started it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, shell.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return systemFailure("Could not start", shell, {spawned, std::generic_category()});
    return {};
}

std::optional<SwapFailure> takeSwapFailure(const std::filesystem::path& installedBundle, std::size_t limit) {
    const auto note = noteFile(installedBundle);
    auto text = platform::readRegularFile(note, limit, false);
    if (!text && text.error().kind == platform::FileReadFailure::Kind::missing) return std::nullopt;
    std::error_code ignored;
    std::filesystem::remove(note, ignored);
    if (!text) return std::nullopt;
    const auto lineEnd = text->find('\n');
    SwapFailure failure{text->substr(0, lineEnd), std::nullopt};
    if (lineEnd != std::string::npos) {
        if (auto offer = decodeManifest(std::string_view(*text).substr(lineEnd + 1))) failure.offer = std::move(*offer);
    }
    return failure;
}

}  // namespace folioport
