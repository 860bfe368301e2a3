#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioport::testing {

/// A program started with pipes on its standard streams, for tests that drive a real binary.
/// Output is collected while input is written, so neither side can block the other.
class ChildProcess {
public:
    /// Starts `arguments` (element 0 is the program path) with the environment of this process
    /// plus `environment` (a value of nullopt removes the variable).
    explicit ChildProcess(const std::vector<std::string>& arguments,
                          const std::map<std::string, std::optional<std::string>>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// Writes all of `bytes` to standard input.
    void write(std::string_view bytes);
    /// The next line of standard output without its line feed, or nothing within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Everything read from standard error so far (reads what is pending first).
    const std::string& errorOutput();

    struct Ended {
        int exitStatus;      ///< -1 when the program did not exit normally in time
        std::string output;  ///< standard output not yet taken by readLine
        std::string error;   ///< all of standard error
    };
    /// Closes standard input and waits for the program to end, collecting the rest of its output.
    Ended finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));

private:
    bool pump(std::chrono::milliseconds timeout, std::string_view* input);
    void closeInput();

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int error_ = -1;
    std::string outputText_;
    std::string errorText_;
};

/// Runs the program to its end with `input` on standard input.
ChildProcess::Ended runToEnd(const std::vector<std::string>& arguments, std::string_view input,
                             const std::map<std::string, std::optional<std::string>>& environment = {});

}  // namespace folioport::testing
