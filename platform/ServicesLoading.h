#pragma once

#include <optional>
#include <string>
#include <thread>

namespace folioport::platform {

/// Starts loading the network and keyring library on a thread of its own, and readies libcurl, the
/// session bus and the keyring's session, so that the first request finds them ready while start-up
/// does not wait for them. Keep the thread until the process ends (it never waits for the keyring).
std::jthread preloadServices();

/// Which library could not be loaded and why (the loader's own message), or absent once it is loaded.
/// Opens the library when no call has yet.
std::optional<std::string> servicesFailure();

}  // namespace folioport::platform
