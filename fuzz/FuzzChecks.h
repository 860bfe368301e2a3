#pragma once

#include <cstdlib>
#include <string_view>

#include "storage/Utf8.h"

namespace folioport::fuzz {

/// Stops the run (so libFuzzer keeps the input) when an invariant does not hold.
inline void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace folioport::fuzz
