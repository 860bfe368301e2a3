#pragma once

#include "app/AuxWindows.h"

namespace folioport {

/// Window contents that only name their window (and an editor's page or space), until the real views
/// take their place.
WindowContents placeholderContents();

}  // namespace folioport
