#include "ui/ActionText.h"

namespace folioport::ui {

QString actionText(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

QString toolTipText(const QString& text) {
    if (text.isEmpty()) return {};
    // why: Qt shows a tooltip that looks like markup as rich text; escaped inside a paragraph, it reads as written.
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace folioport::ui
