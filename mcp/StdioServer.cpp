#include "mcp/StdioServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <stop_token>
#include <streambuf>
#include <string>
#include <thread>

#include "appinfo/AppInfo.h"
#include "mcp/Server.h"
#include "mcp/ToolOperations.h"
#include "platform/HttpTransport.h"
#include "platform/Posix.h"
#include "platform/Services.h"
#include "platform/SessionBus.h"

namespace folioport::MCPServer {
namespace {

/// Collects what is written and hands it to the file descriptor in one write(2) at each flush.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        pending_.append(data, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override {
        // why: a failed write is dropped, so a reader that went away does not stop the loop.
        platform::writeAll(fd_, pending_);
        pending_.clear();
        return 0;
    }

private:
    int fd_;
    std::string pending_;
};

/// Requests a stop on `inputClosed` once the writer of standard input has gone, even while the loop
/// waits for a tool call. Ends when the returned thread is asked to stop.
/// why: a client that quits in the middle of a call must not leave the process waiting for a slow site.
std::jthread watchForClosedInput(std::stop_source inputClosed) {
    return std::jthread([inputClosed](std::stop_token finish) mutable {
        const int wake = ::eventfd(0, EFD_CLOEXEC);
        if (wake < 0) return;
        std::stop_callback onFinish(finish, [wake] {
            const std::uint64_t one = 1;
            (void)!::write(wake, &one, sizeof one);
        });
        // why: asking for no events still reports POLLHUP, which a pipe raises when its writer closes.
        pollfd watched[] = {{STDIN_FILENO, 0, 0}, {wake, POLLIN, 0}};
        while (!finish.stop_requested()) {
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (watched[0].revents & (POLLHUP | POLLERR)) inputClosed.request_stop();
            if (watched[0].revents != 0 || watched[1].revents != 0) break;
        }
        ::close(wake);
    });
}

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
    DescriptorBuffer errorBuffer(STDERR_FILENO);
    std::ostream output(&outputBuffer);
    std::ostream error(&errorBuffer);
    SettingsReader settings(platform::Preferences::defaultFile(),
                            [&error](std::string_view message) { log(error, message); });
    // why: libcurl's and libsecret's dependency trees load once "initialize" is answered, while the
    // client reads the answer; loading them alongside would slow that answer down several times.
    std::jthread services;
    std::stop_source inputClosed;
    const std::jthread watcher = watchForClosedInput(inputClosed);
    const Dependencies dependencies{
        .version = [] { return AppInfo::version(); },
        .perform = [&settings, stop = inputClosed.get_token()](std::string_view tool, const nlohmann::json& arguments) {
            return perform(
                tool, arguments, [&settings] { return settings.load(); },
                [] { return std::chrono::system_clock::now(); }, stop);
        },
        .afterFirstLine = [&services] { services = platform::preloadServices(); },
    };
    return run(std::cin, output, error, dependencies);
}

}  // namespace folioport::MCPServer
