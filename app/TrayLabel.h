#pragma once

#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QString>

#include <string>

#include "confluence/ConfluenceConfig.h"

namespace folioport {

/// The text beside the tray symbol: the space key (blanks trimmed) in upper case when the settings are
/// complete, otherwise empty; empty also means all spaces.
QString trayKeyText(const ConfluenceConfig& config, const std::string& spaceKey);
/// The tray tooltip: "Folioport", "Folioport Demo" against the demo site, then " · " and the key if any.
QString trayToolTip(const QString& keyText, bool demo);
/// The tray icon: `symbol` alone, or with `keyText` on a badge along its lower edge, at the usual tray sizes.
QIcon trayIcon(const QIcon& symbol, const QString& keyText);

/// How the key sits on a tray icon of `size` pixels: on a badge across the lower half beside the symbol,
/// or alone on the whole icon where the symbol would leave it unreadable (16 px); in a bold font narrowed
/// (down to 3/4 of its width beside the symbol, 3/5 alone) and shrunk until the key fits, and cut with "…"
/// only when it does not fit even so.
struct BadgeLayout {
    QRectF area;  ///< the badge
    QFont font;
    qreal squeeze;  ///< the text's horizontal scale
    QString text;   ///< the key, or its cut form
    bool withSymbol;
};
BadgeLayout badgeLayout(const QString& keyText, int size);

}  // namespace folioport
