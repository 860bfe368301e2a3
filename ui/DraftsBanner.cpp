#include "ui/DraftsBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "state/AppStore.h"
#include "ui/Style.h"
#include "ui/SymbolView.h"

namespace folioport::ui {

DraftsBanner::DraftsBanner(AppStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName(QStringLiteral("draftsBanner"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    row->addWidget(new SymbolView(bundledSymbolIcon(Symbol::pencil, Tint::accent), 18, this));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("draftsCountLabel"));
    count_->setWordWrap(true);
    applyTextStyle(*count_, TextStyle::callout, Tint::primary, QFont::Medium);
    row->addWidget(count_, 1);
    reopen_ = new QPushButton(tr("Reopen"), this);
    reopen_->setObjectName(QStringLiteral("reopenDraftsButton"));
    reopen_->setAutoDefault(false);
    reopen_->setToolTip(tr("Open each draft in its editor, against the page as it is now"));
    connect(reopen_, &QPushButton::clicked, this, &DraftsBanner::reopenRequested);
    row->addWidget(reopen_);

    connect(&store_.drafts(), &DraftShelf::waitingChanged, this, &DraftsBanner::refresh);
    connect(&store_, &AppStore::settingsChanged, this, &DraftsBanner::refresh);
    refresh();
}

QList<QWidget*> DraftsBanner::focusChain() const { return {reopen_}; }

void DraftsBanner::refresh() {
    const auto waiting = store_.waitingDrafts().size();
    setVisible(waiting > 0);
    count_->setText(waiting == 1 ? tr("1 draft of unsaved text was kept from the last session")
                                 : tr("%1 drafts of unsaved text were kept from the last session").arg(waiting));
}

void DraftsBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), Tint::accent, 0.10, 0, palette());
}

}  // namespace folioport::ui
