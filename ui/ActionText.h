#pragma once

#include <QString>

namespace folioport::ui {

/// `text` from the site or the user, ready for a QAction, menu title or button: every "&" doubled, so
/// Qt shows it as written instead of taking it for a keyboard mnemonic marker.
QString actionText(const QString& text);

/// `text` from the site or the user, ready for a tooltip: shown as written, never taken for rich text;
/// empty (no tooltip) for empty text.
QString toolTipText(const QString& text);

}  // namespace folioport::ui
