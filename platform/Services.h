#pragma once

#include <thread>

namespace folioport::platform {

/// Starts loading the network and keyring library on a thread of its own, so that the first request
/// finds it ready while start-up does not wait for it. Keep the thread until the process ends.
std::jthread preloadServices();

}  // namespace folioport::platform
