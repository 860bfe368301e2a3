#include "ui/PlainButton.h"

#include <QKeyEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace folioport::ui {

PlainButton::PlainButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void PlainButton::setHelp(const QString& help) {
    setToolTip(help);
    if (text().isEmpty()) setAccessibleName(help);
}

void PlainButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        animateClick();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void PlainButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // why: a button's own symbol (ellipsis, chevron) announces its menu, not the style's corner arrow.
    option.features &= ~QStyleOptionToolButton::HasMenu;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

PlainButton* iconButton(Symbol symbol, const QString& help, const QString& objectName, QWidget* parent, int iconSize,
                        Tint tint) {
    auto* button = new PlainButton(parent);
    button->setObjectName(objectName);
    button->setIcon(symbolIcon(symbol, tint));
    button->setIconSize({iconSize, iconSize});
    button->setHelp(help);
    return button;
}

}  // namespace folioport::ui
