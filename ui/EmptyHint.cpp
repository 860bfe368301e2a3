#include "ui/EmptyHint.h"

#include "ui/Style.h"

namespace folioport::ui {

EmptyHint::EmptyHint(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("emptyHint"));
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(0, 4, 0, 4);
    applyTextStyle(*this, TextStyle::caption, Tint::secondary);
}

}  // namespace folioport::ui
