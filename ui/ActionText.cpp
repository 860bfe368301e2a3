#include "ui/ActionText.h"

namespace folioport::ui {

QString actionText(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

}  // namespace folioport::ui
