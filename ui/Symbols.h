#pragma once

#include <QIcon>

#include "ui/Style.h"

namespace folioport::ui {

/// The symbols the panel draws; each has freedesktop icon-theme names and a bundled drawing.
enum class Symbol {
    document, plusCircle, magnifier, refresh, gear, updateArrow, grid, checkmark, warning, clock,
    pencil, ellipsis, browser, copy, copyFilled, textFormat, newChild, trash, linkPlus
};

/// The icon theme's icon for `symbol` when the theme has one; otherwise the bundled drawing in
/// `tint`, coloured afresh from the application palette whenever it is painted.
QIcon symbolIcon(Symbol symbol, Tint tint = Tint::secondary);

/// The bundled drawing in `tint`, ignoring the icon theme: for symbols whose colour carries meaning.
QIcon bundledSymbolIcon(Symbol symbol, Tint tint);

}  // namespace folioport::ui
