#pragma once

#include <QIcon>

namespace folioport {

/// The application icon, a pair of pages on a blue tile, from the bundled SVG and PNG sizes.
QIcon applicationIcon();
/// The tray's document symbol: the icon theme's "text-x-generic", else the bundled drawing.
QIcon documentSymbol();

}  // namespace folioport
