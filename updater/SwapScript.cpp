#include "updater/SwapScript.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Posix.h"

extern char** environ;

namespace folioport {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

/// Writes `text` to `file` through a temporary file beside it and a rename, so the file is whole or absent.
StepResult<void> writeAtomically(const std::filesystem::path& file, const std::string& text) {
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return systemFailure("Could not write", file, lastError());
    const bool written = platform::writeAll(fd, text) && ::fsync(fd) == 0;
    const std::error_code writeError = lastError();
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const std::error_code error = written ? lastError() : writeError;
        ::unlink(temporary.c_str());
        return systemFailure("Could not write", file, error);
    }
    return {};
}

}  // namespace

std::string swapScript(pid_t pid) {
    return "#!/bin/sh\n"
           "# $1 = verified bundle staged beside the installed one, $2 = installed bundle to replace\n"
           "trap '/bin/rm -rf \"${1%/*}\"' EXIT\n"
           "while kill -0 " + std::to_string(pid) + " 2>/dev/null; do sleep 0.2; done\n"
           "[ \"$(/usr/bin/stat -c %d \"$1\")\" = \"$(/usr/bin/stat -c %d \"$2\")\" ] || exit 1\n"
           "/bin/rm -rf \"$2.old\"\n"
           "/bin/mv -T \"$2\" \"$2.old\" || exit 1\n"
           "if ! /bin/mv -T \"$1\" \"$2\"; then\n"
           "    /bin/rm -rf \"$2\"; /bin/mv -T \"$2.old\" \"$2\"\n"
           "    exit 1\n"
           "fi\n"
           "/bin/rm -rf \"$2.old\"\n"
           "/usr/bin/setsid -f \"$2/Contents/bin/Folioport\" </dev/null >/dev/null 2>&1";
}

StepResult<void> startSwap(const std::filesystem::path& newBundle, const std::filesystem::path& installedBundle,
                           pid_t pid) {
    const auto script = newBundle.parent_path() / "install.sh";
    if (auto written = writeAtomically(script, swapScript(pid)); !written) return written;

    const std::string shell = "/bin/sh";
    const std::string arguments[] = {script.string(), newBundle.string(), installedBundle.string()};
    char* argv[] = {const_cast<char*>(shell.c_str()), const_cast<char*>(arguments[0].c_str()),
                    const_cast<char*>(arguments[1].c_str()), const_cast<char*>(arguments[2].c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    // why: the script and the application it starts outlive us; they must not hold our sockets and pipes.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
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

}  // namespace folioport
