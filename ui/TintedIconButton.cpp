#include "ui/TintedIconButton.h"

#include <QPainter>
#include <QStyle>

namespace folioport::ui {

TintedIconButton::TintedIconButton(Symbol symbol, const QString& help, const QString& objectName, QWidget* parent)
    : PlainButton(parent) {
    setObjectName(objectName);
    setIcon(bundledSymbolIcon(symbol, Tint::accent));
    setIconSize({13, 13});
    setFixedSize(24, 24);
    setHelp(help);
}

void TintedIconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), Tint::accent, isDown() ? 0.24 : underMouse() ? 0.18 : 0.12, 6, palette());
    if (hasFocus()) paintFocusRing(painter, rect(), 6, palette());
    icon().paint(&painter, QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, iconSize(), rect()));
}

}  // namespace folioport::ui
