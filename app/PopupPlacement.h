#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace folioport {

/// Where a popup of `size` opens from the tray: centred under the icon, or above it when the icon sits in
/// the lower half of `available`; centred on `click` when the tray reports no icon geometry (an empty
/// rectangle). It is made shorter when the room between the icon and that edge is less than its height
/// (large fonts and scales make the screen small), and always moved inside `available`.
QRect popupGeometry(const QRect& icon, const QPoint& click, const QSize& size, const QRect& available);

/// `window` made no larger than `available` and moved inside it.
QRect fittedInto(const QRect& window, const QRect& available);

/// Where the tray was clicked: the position the tray sent with the click when it lies on one of
/// `screens`, otherwise `pointer`.
QPoint trayClickPosition(const std::optional<QPoint>& sent, const QPoint& pointer, const QList<QRect>& screens);

}  // namespace folioport
