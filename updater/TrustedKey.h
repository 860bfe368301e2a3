#pragma once

#include <string_view>

namespace folioport {

/// The developer team whose seal an update must carry.
inline constexpr std::string_view updateTeam = "Q7R2K9M4ZX";

/// The public key (PEM) that update bundles must be signed with, compiled in: the team's release key, or a
/// throwaway key in a test build (CMake option FOLIOPORT_UPDATE_TEST_KEY). Nothing at run time replaces it.
std::string_view trustedUpdateKey();

}  // namespace folioport
