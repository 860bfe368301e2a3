#include "mcp/StdioServer.h"

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <streambuf>
#include <string>

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

}  // namespace

int serveStandardStreams() {
    // why: a client that closes its end would otherwise kill the server with SIGPIPE mid-answer.
    std::signal(SIGPIPE, SIG_IGN);
    platform::adoptUserSessionBus();
    // why: libcurl's and libsecret's dependency trees load while the client initialises, not before.
    const std::jthread services = platform::preloadServices();
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
    const Dependencies dependencies{
        .version = [] { return AppInfo::version(); },
        .perform = [&settings](std::string_view tool, const nlohmann::json& arguments) {
            return perform(tool, arguments, [&settings] { return settings.load(); });
        },
    };
    return run(std::cin, output, error, dependencies);
}

}  // namespace folioport::MCPServer
