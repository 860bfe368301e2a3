#include "app/PopupPlacement.h"

#include <algorithm>

namespace folioport {

QRect popupGeometry(const QRect& icon, const QPoint& click, const QSize& size, const QRect& available) {
    const QRect anchor = icon.isEmpty() ? QRect(click, QSize(1, 1)) : icon;
    const bool above = anchor.center().y() > available.center().y();
    const int x = anchor.center().x() - size.width() / 2;
    const int y = above ? anchor.top() - size.height() : anchor.top() + anchor.height();
    // why: std::max last, so that a popup larger than the screen keeps its top-left corner visible.
    return {QPoint(std::max(available.left(), std::min(x, available.left() + available.width() - size.width())),
                   std::max(available.top(), std::min(y, available.top() + available.height() - size.height()))),
            size};
}

QPoint trayClickPosition(const std::optional<QPoint>& sent, const QPoint& pointer, const QList<QRect>& screens) {
    // why: trays that do not know where the click was send 0, 0 (or whatever they like); only a point
    // on a screen can be the icon's place.
    if (!sent || sent->isNull()) return pointer;
    const bool onScreen = std::ranges::any_of(screens, [&](const QRect& screen) { return screen.contains(*sent); });
    return onScreen ? *sent : pointer;
}

}  // namespace folioport
