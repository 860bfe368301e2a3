#pragma once

#include <QPoint>

#include <optional>

namespace folioport {

/// Starts noting the position a StatusNotifierItem host sends with `Activate(x, y)` (QSystemTrayIcon
/// reports the click without it). Once per process; later calls do nothing.
void noteTrayActivationPositions();

/// The position of the last activation, once: the next call returns nothing until another one comes.
std::optional<QPoint> takeTrayActivationPosition();

}  // namespace folioport
