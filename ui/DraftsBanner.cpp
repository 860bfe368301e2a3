#include "ui/DraftsBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "state/AppStore.h"

namespace folioport::ui {

DraftsBanner::DraftsBanner(AppStore& store, QWidget* parent)
    : Banner(Shape::band, Symbol::pencil, Tint::accent, parent), store_(store) {
    setObjectName(QStringLiteral("draftsBanner"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("draftsCountLabel"));
    count_->setWordWrap(true);
    applyTextStyle(*count_, TextStyle::callout, Tint::primary, QFont::Medium);
    row().addWidget(count_, 1);
    reopen_ = new QPushButton(tr("Reopen"), this);
    reopen_->setObjectName(QStringLiteral("reopenDraftsButton"));
    reopen_->setAutoDefault(false);
    reopen_->setToolTip(tr("Open each draft in its editor, against the page as it is now"));
    connect(reopen_, &QPushButton::clicked, this, &DraftsBanner::reopenRequested);
    row().addWidget(reopen_);

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

}  // namespace folioport::ui
