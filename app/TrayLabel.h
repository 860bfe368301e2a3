#pragma once

#include <QIcon>
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

}  // namespace folioport
