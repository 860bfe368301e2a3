#include "ui/SymbolView.h"

#include <QPainter>

namespace folioport::ui {

SymbolView::SymbolView(const QIcon& icon, int size, QWidget* parent) : QWidget(parent), icon_(icon), size_(size) {
    setFixedSize(size, size);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    icon_.paint(&painter, rect(), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

}  // namespace folioport::ui
