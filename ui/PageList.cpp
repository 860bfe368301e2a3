#include "ui/PageList.h"

#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <map>

#include "state/AppStore.h"
#include "ui/ActionText.h"
#include "ui/EmptyHint.h"
#include "ui/PageRow.h"
#include "ui/SiteErrorBanner.h"
#include "ui/Style.h"

namespace folioport::ui {
namespace {

/// The time in the locale's short format, to the minute.
QString minuteOf(const QLocale& locale, QTime time) {
    // why: some locales' short format (the "C" one) carries seconds, which say nothing here.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]s{1,2}")));
    return locale.toString(time, format);
}

/// "Couldn't refresh at 14:02 — showing pages from 13:57", the pages' date added when they are from another day.
QString staleText(const StaleList& stale) {
    const QLocale locale;
    const QString failedAt = minuteOf(locale, stale.failedAt.time());
    if (!stale.pagesFrom) return PageList::tr("Couldn't refresh at %1").arg(failedAt);
    const QDateTime& from = *stale.pagesFrom;
    QString pagesFrom = minuteOf(locale, from.time());
    if (from.date() != stale.failedAt.date())
        pagesFrom = locale.toString(from.date(), QLocale::ShortFormat) + QLatin1Char(' ') + pagesFrom;
    return PageList::tr("Couldn't refresh at %1 \u2014 showing pages from %2").arg(failedAt, pagesFrom);
}

}  // namespace

PageList::PageList(AppStore& store, QWidget* parent) : QScrollArea(parent), store_(store) {
    setObjectName(QStringLiteral("pageList"));
    setAccessibleName(tr("Recent pages"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("pageListContent"));
    content->setAutoFillBackground(false);
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(12, 12, 12, 12);
    column_->setSpacing(8);
    stale_ = new QLabel(content);
    stale_->setObjectName(QStringLiteral("staleListLabel"));
    stale_->setTextFormat(Qt::PlainText);
    stale_->setWordWrap(true);
    applyTextStyle(*stale_, TextStyle::caption, Tint::secondary);
    column_->addWidget(stale_);
    error_ = new SiteErrorBanner(store_, content);
    connect(error_, &SiteErrorBanner::settingsRequested, this, &PageList::settingsRequested);
    column_->addWidget(error_);
    hint_ = new EmptyHint(content);
    column_->addWidget(hint_);
    column_->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
}

void PageList::refresh() {
    const auto& stale = store_.staleList();
    stale_->setVisible(stale.has_value());
    stale_->setText(stale ? staleText(*stale) : QString());
    const QString reason = stale ? QString::fromStdString(describe(stale->reason)) : QString();
    stale_->setToolTip(toolTipText(reason));
    stale_->setAccessibleDescription(reason);

    error_->setError(store_.error());

    const auto& pages = store_.pages();
    const auto spaceKeys = store_.spaceKeysById();
    const auto& busy = store_.busyPageIds();

    // why: a row that stays keeps its widget, so its "Copied" feedback and focus survive a refresh.
    std::map<std::string, std::vector<PageRow*>> previous;
    for (PageRow* row : rows_) {
        previous[row->page().id].push_back(row);
        column_->removeWidget(row);
    }
    std::vector<PageRow*> rows;
    for (const Page& page : pages) {
        auto& reusable = previous[page.id];
        PageRow* row = reusable.empty() ? makeRow() : reusable.front();
        if (!reusable.empty()) reusable.erase(reusable.begin());
        std::optional<std::string> key;
        if (page.spaceId)
            if (auto found = spaceKeys.find(*page.spaceId); found != spaceKeys.end()) key = found->second;
        row->setPage(page, key, busy.contains(page.id));
        column_->insertWidget(column_->indexOf(error_) + 1 + static_cast<int>(rows.size()), row);
        row->show();
        rows.push_back(row);
    }
    for (auto& [id, leftovers] : previous)
        for (PageRow* row : leftovers) {
            row->hide();
            row->deleteLater();
        }
    rows_ = std::move(rows);

    hint_->setVisible(pages.empty());
    hint_->setText(store_.isLoading() ? tr("Loading\u2026") : tr("No pages here yet. Use + to write one."));
}

QList<QWidget*> PageList::focusChain() const {
    QList<QWidget*> chain = error_->focusChain();
    for (PageRow* row : rows_) chain << row->focusChain();
    return chain;
}

PageRow* PageList::makeRow() {
    auto* row = new PageRow(widget());
    connect(row, &PageRow::copyLinkRequested, this, [this](const Page& page) { store_.copyLink(page); });
    connect(row, &PageRow::copyTitleRequested, this, [this](const Page& page) { store_.copyTitle(page); });
    connect(row, &PageRow::openRequested, this,
            [this](const Page& page) { store_.open(store_.webURL(page)); });
    connect(row, &PageRow::trashRequested, this, [this](const Page& page) { store_.trashPage(page); });
    connect(row, &PageRow::editRequested, this, &PageList::editRequested);
    connect(row, &PageRow::newChildRequested, this, &PageList::newChildRequested);
    return row;
}

}  // namespace folioport::ui
