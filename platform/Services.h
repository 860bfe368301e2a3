#pragma once

#include <thread>

namespace folioport::platform {

/// Starts loading the network and keyring library on a thread of its own, and readies libcurl, the
/// session bus and the keyring's session, so that the first request finds them ready while start-up
/// does not wait for them. Keep the thread until the process ends (it never waits for the keyring).
std::jthread preloadServices();

}  // namespace folioport::platform
