#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace folioport::testing {
namespace {

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        const auto name = std::string(text.substr(0, text.find('=')));
        if (!changes.contains(name)) merged.emplace_back(text);
    }
    for (const auto& [name, value] : changes) {
        if (value) merged.push_back(name + "=" + *value);
    }
    return merged;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

void closeQuietly(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::optional<std::string>>& environment) {
    // why: a program that exits without reading its input must not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) || ::pipe2(out.data(), O_CLOEXEC) || ::pipe2(err.data(), O_CLOEXEC)) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = mergedEnvironment(environment);
    auto argv = pointers(argumentTexts);
    auto envp = pointers(environmentTexts);
    const int failed = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input_ = in[1];
    output_ = out[0];
    error_ = err[0];
    if (failed) throw std::runtime_error("cannot start " + arguments.front() + ": " + std::strerror(failed));
    ::fcntl(input_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeQuietly(output_);
    closeQuietly(error_);
}

void ChildProcess::closeInput() { closeQuietly(input_); }

bool ChildProcess::pump(std::chrono::milliseconds timeout, std::string_view* input) {
    std::array<pollfd, 3> fds{
        pollfd{output_, POLLIN, 0},
        pollfd{error_, POLLIN, 0},
        pollfd{input != nullptr && !input->empty() ? input_ : -1, POLLOUT, 0},
    };
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (ready <= 0) return false;
    std::array<char, 65536> buffer{};
    for (std::size_t index = 0; index < 2; ++index) {
        if (fds[index].revents == 0) continue;
        int& fd = index == 0 ? output_ : error_;
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count > 0) (index == 0 ? outputText_ : errorText_).append(buffer.data(), static_cast<std::size_t>(count));
        else if (count == 0 || errno != EINTR) closeQuietly(fd);
    }
    if (fds[2].revents != 0) {
        const ssize_t count = ::write(input_, input->data(), input->size());
        if (count > 0) input->remove_prefix(static_cast<std::size_t>(count));
        else if (count < 0 && errno != EAGAIN && errno != EINTR) *input = {};
    }
    return true;
}

void ChildProcess::write(std::string_view bytes) {
    while (!bytes.empty() && input_ >= 0) {
        if (!pump(std::chrono::seconds(30), &bytes)) throw std::runtime_error("the program stopped reading");
    }
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (const auto end = outputText_.find('\n'); end != std::string::npos) {
            std::string line = outputText_.substr(0, end);
            outputText_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || output_ < 0) return std::nullopt;
        pump(left, nullptr);
    }
}

const std::string& ChildProcess::errorOutput() {
    while (error_ >= 0 && pump(std::chrono::milliseconds(0), nullptr)) {
    }
    return errorText_;
}

ChildProcess::Ended ChildProcess::finish(std::chrono::milliseconds timeout) {
    closeInput();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while ((output_ >= 0 || error_ >= 0) && std::chrono::steady_clock::now() < deadline) {
        pump(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()), nullptr);
    }
    int status = 0;
    int exitStatus = -1;
    if (output_ < 0 && error_ < 0 && ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
        exitStatus = WEXITSTATUS(status);
        pid_ = -1;
    }
    return Ended{exitStatus, std::move(outputText_), std::move(errorText_)};
}

ChildProcess::Ended runToEnd(const std::vector<std::string>& arguments, std::string_view input,
                             const std::map<std::string, std::optional<std::string>>& environment) {
    ChildProcess child(arguments, environment);
    child.write(input);
    return child.finish();
}

}  // namespace folioport::testing
