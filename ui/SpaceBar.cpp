#include "ui/SpaceBar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include <algorithm>

#include "state/AppStore.h"
#include "ui/ActionText.h"
#include "ui/PlainButton.h"
#include "ui/SpaceMenu.h"
#include "ui/Style.h"

namespace folioport::ui {
namespace {

/// A borderless drop-down drawn as symbol, text and a small chevron, spaced like the rest of the bar.
class DropDownButton final : public PlainButton {
public:
    using PlainButton::PlainButton;

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        const int textWidth = metrics.size(Qt::TextShowMnemonic, text()).width();
        const int width = padding + iconSize().width() + gap + textWidth + gap + chevron + padding;
        return {width, std::max(iconSize().height(), metrics.height()) + 2 * padding};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        if (option.state & (QStyle::State_MouseOver | QStyle::State_Sunken) && isEnabled())
            painter.drawPrimitive(QStyle::PE_PanelButtonTool, option);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
        const QRect iconRect(QPoint(padding, (height() - iconSize().height()) / 2), iconSize());
        icon().paint(&painter, iconRect);
        const QRect textRect(iconRect.right() + 1 + gap, 0, width() - iconRect.right() - 1 - gap - chevron - gap - padding,
                             height());
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(colourOf(Tint::secondary, palette()), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF centre(width() - padding - chevron / 2.0, height() / 2.0 + 0.5);
        painter.drawPolyline(QPolygonF({centre + QPointF(-3.5, -1.75), centre + QPointF(0, 1.75), centre + QPointF(3.5, -1.75)}));
    }

private:
    static constexpr int padding = 4;
    static constexpr int gap = 5;
    static constexpr int chevron = 8;
};

}  // namespace

SpaceBar::SpaceBar(AppStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName(QStringLiteral("spaceBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(8);

    auto* button = new DropDownButton(this);
    button->setObjectName(QStringLiteral("spaceMenuButton"));
    button->setIcon(symbolIcon(Symbol::grid));
    button->setIconSize({12, 12});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    applyTextStyle(*button, TextStyle::callout, Tint::primary, QFont::Medium);
    button->setToolTip(tr("Pick the space to list and create pages in"));
    button->setAccessibleDescription(tr("Pick the space to list and create pages in"));
    menuButton_ = button;
    menu_ = new SpaceMenu(store_, {.accessibleName = tr("Spaces"), .offersAllSpaces = true, .marksListed = true}, this);
    connect(menu_, &SpaceMenu::picked, this, [this](const std::string& key) { store_.selectSpace(key); });
    menuButton_->setMenu(menu_);
    row->addWidget(menuButton_);

    selectedName_ = new QLabel(this);
    selectedName_->setObjectName(QStringLiteral("selectedSpaceLabel"));
    selectedName_->setTextFormat(Qt::PlainText);
    applyTextStyle(*selectedName_, TextStyle::caption, Tint::secondary);
    row->addWidget(selectedName_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    recentCount_ = new QLabel(this);
    recentCount_->setObjectName(QStringLiteral("recentCountLabel"));
    applyTextStyle(*recentCount_, TextStyle::caption2, Tint::secondary);
    row->addWidget(recentCount_, 0, Qt::AlignVCenter);
}

void SpaceBar::refresh() {
    const std::string& key = store_.settings().spaceKey;
    const QString caption = key.empty() ? tr("All spaces") : qs(key);
    menuButton_->setText(actionText(caption));
    menuButton_->setAccessibleName(tr("Space: %1").arg(caption));

    const auto selected = store_.selectedSpace();
    selectedName_->setVisible(selected.has_value());
    selectedName_->setText(selected ? qs(selected->name.value_or(selected->key)) : QString());
    recentCount_->setText(tr("%1 recent").arg(store_.pages().size()));
    menu_->setListedKey(key);
}

QWidget* SpaceBar::focusTarget() const { return menuButton_; }

}  // namespace folioport::ui
