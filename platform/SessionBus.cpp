#include "platform/SessionBus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace folioport::platform {

void adoptUserSessionBus() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return;
    const uid_t user = ::getuid();
    const std::string socket = "/run/user/" + std::to_string(user) + "/bus";
    struct stat status {};
    // why: a socket someone else owns could be a bus that collects the token.
    if (::lstat(socket.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || status.st_uid != user) return;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
}

}  // namespace folioport::platform
