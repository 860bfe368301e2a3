#include "ui/Banner.h"

#include <QHBoxLayout>
#include <QPainter>

#include "ui/SymbolView.h"

namespace folioport::ui {

Banner::Banner(Shape shape, Symbol symbol, Tint tint, QWidget* parent)
    : QWidget(parent), shape_(shape), tint_(tint), row_(new QHBoxLayout(this)) {
    const bool card = shape == Shape::card;
    row_->setContentsMargins(card ? 8 : 12, 8, card ? 8 : 12, 8);
    row_->setSpacing(card ? 6 : 8);
    row_->addWidget(new SymbolView(bundledSymbolIcon(symbol, tint), card ? 14 : 18, this), 0,
                    card ? Qt::AlignTop : Qt::Alignment());
}

void Banner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool card = shape_ == Shape::card;
    fillRounded(painter, rect(), tint_, card ? 0.12 : 0.10, card ? 8 : 0, palette());
}

}  // namespace folioport::ui
