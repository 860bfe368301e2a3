#pragma once
// Shared by the suites that drive the real binary: a program on pipes, and a private folder.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace folioport::testing {

using namespace std::chrono;
using namespace std::chrono_literals;

/// A private directory under $TMPDIR (or /tmp), removed with everything in it.
struct TemporaryDirectory {
    std::filesystem::path path = [] {
        std::string pattern = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/folioport.XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        return pattern;
    }();
    ~TemporaryDirectory() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
};

/// A program (arguments[0] is its path) with standard input and output on pipes, and standard
/// error in an anonymous file so it never blocks (or, with `unreadError`, on a pipe no one reads).
/// `environment` overrides variables of ours.
/// Input is written blocking: every answer in these tests fits a pipe's 64 KiB many times over.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {},
                          bool unreadError = false) {
        ::signal(SIGPIPE, SIG_IGN);  // why: a program that exits without reading must not kill the test
        std::vector<std::string> variables;
        for (char** entry = environ; *entry; ++entry)
            if (!environment.contains(std::string(*entry, std::strcspn(*entry, "=")))) variables.emplace_back(*entry);
        for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
        auto pointers = [](std::vector<std::string>& texts) {
            std::vector<char*> result;
            for (auto& text : texts) result.push_back(text.data());
            result.push_back(nullptr);
            return result;
        };
        int in[2], out[2], err[2] = {-1, -1};
        if (unreadError && ::pipe2(err, O_CLOEXEC) == 0) error_ = err[0];
        else error_ = ::memfd_create("stderr", MFD_CLOEXEC);
        if (error_ < 0 || ::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC)) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, unreadError ? err[1] : error_, STDERR_FILENO);
        const int failed = ::posix_spawn(&pid_, arguments[0].c_str(), &actions, nullptr, pointers(arguments).data(),
                                         pointers(variables).data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        if (err[1] >= 0) ::close(err[1]);
        input_ = in[1];
        output_ = out[0];
        if (failed) throw std::runtime_error("cannot start " + arguments[0]);
    }
    ~ChildProcess() {
        if (input_ >= 0) ::close(input_);
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) ::waitpid(pid_, nullptr, 0);
        ::close(output_);
        ::close(error_);
    }
    ChildProcess(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    void write(std::string_view bytes) {
        for (ssize_t count; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(count)))
            if ((count = ::write(input_, bytes.data(), bytes.size())) <= 0) return;  // stopped reading: see exit status
    }

    /// Ends standard input, as the end of a piped password does.
    void closeInput() {
        if (input_ >= 0) ::close(std::exchange(input_, -1));
    }

    /// The next line of standard output without its line feed, or nothing within `timeout`.
    std::optional<std::string> readLine(milliseconds timeout = 10s) {
        const auto deadline = steady_clock::now() + timeout;
        std::size_t end;
        while ((end = output_text_.find('\n')) == std::string::npos)
            if (!readSome(deadline)) return std::nullopt;
        std::string line = output_text_.substr(0, end);
        output_text_.erase(0, end + 1);
        return line;
    }

    /// exitStatus is -1 without a normal exit; output is what readLine has not taken.
    struct Ended { int exitStatus; std::string output, error; };
    /// Closes standard input and waits for the program to end.
    Ended finish() {
        closeInput();
        while (readSome(steady_clock::now() + 30s)) {
        }
        int status = -1;
        ::waitpid(std::exchange(pid_, -1), &status, 0);
        std::string error(static_cast<std::size_t>(std::max<off_t>(0, ::lseek(error_, 0, SEEK_END))), '\0');
        error.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::pread(error_, error.data(), error.size(), 0))));
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::exchange(output_text_, {}), error};
    }

private:
    /// Reads what standard output has; false at its end or at the deadline.
    bool readSome(steady_clock::time_point deadline) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        pollfd ready{output_, POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
        char buffer[65536];
        const ssize_t count = ::read(output_, buffer, sizeof buffer);
        if (count > 0) output_text_.append(buffer, static_cast<std::size_t>(count));
        return count > 0;
    }

    pid_t pid_ = -1;
    int input_ = -1, output_ = -1, error_ = -1;
    std::string output_text_;
};

/// Runs the program to its end with `input` on standard input.
inline ChildProcess::Ended runToEnd(std::vector<std::string> arguments, std::string_view input,
                                    const std::map<std::string, std::string>& environment = {}) {
    ChildProcess child(std::move(arguments), environment);
    child.write(input);
    return child.finish();
}

}  // namespace folioport::testing
