#include "ui/CapsuleLabel.h"

#include <QFontDatabase>
#include <QPainter>

namespace folioport::ui {

CapsuleLabel::CapsuleLabel(Tint tint, bool monospaced, QWidget* parent) : QLabel(parent), tint_(tint) {
    setTextFormat(Qt::PlainText);
    setContentsMargins(5, 1, 5, 1);
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont font = fontFor(TextStyle::caption2, QFont::Medium);
    if (monospaced) {
        const qreal size = font.pointSizeF();
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (size > 0) font.setPointSizeF(size);
    }
    setFont(font);
}

void CapsuleLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), tint_, 0.15, height() / 2.0, palette());
    painter.setPen(colourOf(tint_, palette()));
    painter.drawText(contentsRect(), Qt::AlignCenter, text());
}

}  // namespace folioport::ui
