#include "mcp/StdioServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <streambuf>
#include <string>
#include <thread>

#include "appinfo/AppInfo.h"
#include "mcp/JsonRpcLoop.h"
#include "mcp/ToolDispatch.h"
#include "platform/HttpTransport.h"
#include "platform/Posix.h"
#include "platform/ServicesLoading.h"
#include "platform/SessionBus.h"

namespace folioport::MCPServer {
namespace {

/// Collects what is written until the stream is flushed; sync() of the derived buffer hands it on.
class PendingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        pending_.append(data, static_cast<std::size_t>(count));
        return count;
    }

    std::string pending_;
};

/// Hands what is written to the file descriptor in one write(2) at each flush.
class DescriptorBuffer : public PendingBuffer {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}

protected:
    int sync() override {
        // why: a failed write is dropped, so a reader that went away does not stop the loop.
        platform::writeAll(fd_, pending_);
        pending_.clear();
        return 0;
    }

private:
    int fd_;
};

/// Hands each flushed log line to standard error without ever waiting for it: when the reader does not keep
/// up, lines are dropped and counted, and the count is reported before the next line that fits.
/// why: a client that never reads standard error would otherwise stop the server answering on standard output.
class LogBuffer : public PendingBuffer {
public:
    LogBuffer() : fd_(nonBlockingStandardError()) {}
    ~LogBuffer() override {
        if (fd_ != STDERR_FILENO) ::close(fd_);
    }

protected:
    int sync() override {
        if (dropped_ > 0) {
            const std::string notice =
                "[folioport-mcp] " + std::to_string(dropped_) + " log lines dropped while standard error was full\n";
            if (writeWithoutWaiting(notice)) dropped_ = 0;
        }
        if (!pending_.empty() && (dropped_ > 0 || !writeWithoutWaiting(pending_))) ++dropped_;
        pending_.clear();
        return 0;
    }

private:
    /// A descriptor of standard error that never blocks: a pipe or terminal is opened afresh with
    /// O_NONBLOCK (so the flag stays ours and does not change the file others share); a file never blocks.
    static int nonBlockingStandardError() {
        struct stat status {};
        if (::fstat(STDERR_FILENO, &status) != 0 || S_ISREG(status.st_mode)) return STDERR_FILENO;
        const int fd = ::open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        return fd >= 0 ? fd : STDERR_FILENO;
    }

    /// Writes all of `text` now, or nothing when the reader is behind; a socket is sent to without waiting.
    bool writeWithoutWaiting(std::string_view text) const {
        pollfd writable{fd_, POLLOUT, 0};
        if (::poll(&writable, 1, 0) != 1 || !(writable.revents & POLLOUT)) return false;
        const ssize_t written = ::send(fd_, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (written < 0 && errno == ENOTSOCK) return platform::writeAll(fd_, text);
        return written == static_cast<ssize_t>(text.size());
    }

    int fd_;
    std::size_t dropped_ = 0;
};

}  // namespace

int serveStandardStreams() {
    // why: a client that closes its end would otherwise kill the server with SIGPIPE mid-answer.
    std::signal(SIGPIPE, SIG_IGN);
    platform::adoptUserSessionBus();
    std::ios::sync_with_stdio(false);
    platform::HttpTransportOptions transportOptions;
    transportOptions.userAgent = "Folioport/" + AppInfo::version();
    platform::HttpTransport::configure(std::move(transportOptions));

    DescriptorBuffer outputBuffer(STDOUT_FILENO);
    LogBuffer errorBuffer;
    std::ostream output(&outputBuffer);
    std::ostream error(&errorBuffer);
    SettingsReader settings(platform::Preferences::defaultFile(),
                            [&error](std::string_view message) { log(error, message); });
    // why: libcurl's and libsecret's dependency trees load once "initialize" is answered, while the
    // client reads the answer; loading them alongside would slow that answer down several times.
    std::jthread services;
    const Dependencies dependencies{
        .version = [] { return AppInfo::version(); },
        .perform = [&settings](std::string_view tool, const nlohmann::json& arguments, std::stop_token stop) {
            return perform(
                tool, arguments, [&settings] { return settings.load(); },
                [] { return std::chrono::system_clock::now(); }, std::move(stop));
        },
        .afterFirstLine = [&services] { services = platform::preloadServices(); },
    };
    return run(std::cin, output, error, dependencies);
}

}  // namespace folioport::MCPServer
