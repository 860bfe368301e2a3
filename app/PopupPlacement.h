#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace folioport {

/// Where a popup of `size` opens from the tray: centred under the icon, or above it when the icon sits in
/// the lower half of `available`; centred on `click` when the tray reports no icon geometry (an empty
/// rectangle); always moved inside `available`.
QRect popupGeometry(const QRect& icon, const QPoint& click, const QSize& size, const QRect& available);

}  // namespace folioport
