#include "app/PopupPlacement.h"

#include <algorithm>

namespace folioport {

QRect popupGeometry(const QRect& icon, const QPoint& click, const QSize& size, const QRect& available) {
    const QRect anchor = icon.isEmpty() ? QRect(click, QSize(1, 1)) : icon;
    const bool above = anchor.center().y() > available.center().y();
    const int room = above ? anchor.top() - available.top() : available.bottom() - anchor.bottom();
    // why: cut to the room beside the icon, the panel leaves the icon free to close it again.
    const int height = room > 0 ? std::min(size.height(), room) : size.height();
    const int x = anchor.center().x() - size.width() / 2;
    const int y = above ? anchor.top() - height : anchor.top() + anchor.height();
    return fittedInto({QPoint(x, y), QSize(size.width(), height)}, available);
}

QRect fittedInto(const QRect& window, const QRect& available) {
    const QSize size = window.size().boundedTo(available.size());
    return {QPoint(std::clamp(window.x(), available.left(), available.left() + available.width() - size.width()),
                   std::clamp(window.y(), available.top(), available.top() + available.height() - size.height())),
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
