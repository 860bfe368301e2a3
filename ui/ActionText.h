#pragma once

#include <QString>

namespace folioport::ui {

/// `text` from the site or the user, ready for a QAction, menu title or button: every "&" doubled, so
/// Qt shows it as written instead of taking it for a keyboard mnemonic marker.
QString actionText(const QString& text);

}  // namespace folioport::ui
