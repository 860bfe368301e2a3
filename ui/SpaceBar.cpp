#include "ui/SpaceBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>

#include "state/AppStore.h"
#include "ui/PlainButton.h"

namespace folioport::ui {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

SpaceBar::SpaceBar(AppStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName(QStringLiteral("spaceBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(8);

    auto* button = new PlainButton(this);
    button->setObjectName(QStringLiteral("spaceMenuButton"));
    button->setIcon(symbolIcon(Symbol::grid));
    button->setIconSize({12, 12});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    applyTextStyle(*button, TextStyle::callout, Tint::primary, QFont::Medium);
    button->setToolTip(tr("Pick the space to list and create pages in"));
    button->setAccessibleDescription(tr("Pick the space to list and create pages in"));
    menuButton_ = button;
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("spaceMenu"));
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
    const std::string& key = store_.spaceKey();
    menuButton_->setText(key.empty() ? tr("All spaces") : qs(key));
    menuButton_->setAccessibleName(tr("Space: %1").arg(menuButton_->text()));

    const auto selected = store_.selectedSpace();
    selectedName_->setVisible(selected.has_value());
    selectedName_->setText(selected ? qs(selected->name.value_or(selected->key)) : QString());
    recentCount_->setText(tr("%1 recent").arg(store_.pages().size()));
    rebuildMenu();
}

void SpaceBar::rebuildMenu() {
    menu_->clear();
    const std::string& key = store_.spaceKey();
    QAction* all = menu_->addAction(symbolIcon(key.empty() ? Symbol::checkmark : Symbol::grid), tr("All spaces"), this,
                                    [this] { store_.selectSpace(""); });
    all->setCheckable(true);
    all->setChecked(key.empty());
    if (!store_.spaces().empty()) menu_->addSeparator();
    for (const Space& space : store_.spaces()) {
        const bool current = space.key == key;  // why: exact, unlike the store's case-blind selectedSpace
        QAction* item = menu_->addAction(QStringLiteral("%1 \u00b7 %2").arg(qs(space.key), qs(space.name.value_or(space.key))),
                                         this, [this, spaceKey = space.key] { store_.selectSpace(spaceKey); });
        if (current) item->setIcon(symbolIcon(Symbol::checkmark));
        item->setCheckable(true);
        item->setChecked(current);
    }
}

QWidget* SpaceBar::focusTarget() const { return menuButton_; }

}  // namespace folioport::ui
