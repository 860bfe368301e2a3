#include "ToolRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Posix.h"
#include "storage/Utf8.h"

extern char** environ;

namespace folioport {
namespace {

std::string readToEnd(int fd) {
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) bytes.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR) return bytes;
    }
}

ToolResult notStarted(const std::string& executable, int error) {
    return {-1, "could not start " + executable + ": " + std::strerror(error)};
}

std::vector<char*> argumentVector(const std::string& executable, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

int exitStatusOf(pid_t child) {
    int raw = 0;
    while (::waitpid(child, &raw, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}

pid_t startTool(const std::string& executable, const std::vector<std::string>& arguments) {
    auto argv = argumentVector(executable, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    pid_t child = -1;
    if (::posix_spawn(&child, executable.c_str(), &actions, nullptr, argv.data(), environ) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

ToolResult runTool(const std::string& executable, const std::vector<std::string>& arguments) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return notStarted(executable, errno);
    const platform::Descriptor readEnd(ends[0]);
    platform::Descriptor writeEnd(ends[1]);
    auto argv = argumentVector(executable, arguments);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDERR_FILENO);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return notStarted(executable, spawned);

    // why: our copy of the write end must close, or the read below never sees the end of the output.
    writeEnd = platform::Descriptor();
    std::string output = readToEnd(readEnd.get());
    const int status = exitStatusOf(child);
    if (!Utf8::isValid(output)) output.clear();
    return {status, std::move(output)};
}

}  // namespace folioport
