#include "ui/SearchResultRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <chrono>

#include "confluence/ConfDate.h"
#include "storage/Utf8.h"
#include "ui/CapsuleLabel.h"
#include "ui/Clock.h"
#include "ui/ElidedLabel.h"
#include "ui/TintedIconButton.h"

namespace folioport::ui {

std::string displayTitle(const SearchResult& result) {
    if (result.content && result.content->title) return *result.content->title;
    return result.title.value_or("(untitled)");
}

std::optional<Page> editablePage(const SearchResult& result) {
    if (!result.content || !result.content->id) return std::nullopt;
    if (result.content->type && *result.content->type != "page") return std::nullopt;
    Page page;
    page.id = *result.content->id;
    page.title = displayTitle(result);
    return page;
}

SearchResultRow::SearchResultRow(SearchResult result, QWidget* parent) : QWidget(parent), result_(std::move(result)) {
    setObjectName(QStringLiteral("searchResultRow"));
    const QString title = QString::fromStdString(Utf8::oneLine(displayTitle(result_)));
    setAccessibleName(title);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    auto* titleLabel = new ElidedLabel(2, this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    applyTextStyle(*titleLabel, TextStyle::callout);
    titleLabel->setText(title);
    column->addWidget(titleLabel);

    const auto container = result_.resultGlobalContainer ? result_.resultGlobalContainer->title : std::nullopt;
    const auto modified = ConfDate::parse(result_.lastModified);
    if (container || modified) {
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        if (container) {
            auto* badge = new CapsuleLabel(Tint::accent, false, this);
            badge->setObjectName(QStringLiteral("spaceBadge"));
            badge->setText(QString::fromStdString(*container));
            line->addWidget(badge);
        }
        if (modified) {
            auto* day = new QLabel(
                QString::fromStdString(ConfDate::relativeDays(*modified, Clock::current().now())), this);
            day->setObjectName(QStringLiteral("dayLabel"));
            applyTextStyle(*day, TextStyle::caption2, Tint::secondary);
            line->addWidget(day);
        }
        line->addStretch(1);
        column->addLayout(line);
    }
    if (const auto excerpt = result_.plainExcerpt()) {
        auto* excerptLabel = new ElidedLabel(3, this);
        excerptLabel->setObjectName(QStringLiteral("excerptLabel"));
        applyTextStyle(*excerptLabel, TextStyle::caption, Tint::secondary);
        excerptLabel->setText(QString::fromStdString(*excerpt));
        column->addWidget(excerptLabel);
    }
    row->addLayout(column, 1);

    if (const auto page = editablePage(result_)) {
        auto* edit = new TintedIconButton(Symbol::pencil, tr("Edit this page"), QStringLiteral("editButton"), this);
        edit->setAccessibleDescription(title);
        connect(edit, &QAbstractButton::clicked, this, [this, page = *page] { Q_EMIT editRequested(page); });
        row->addWidget(edit, 0, Qt::AlignTop);
        buttons_ << edit;
    }
    auto* browser = new TintedIconButton(Symbol::browser, tr("Open in browser"), QStringLiteral("browserButton"), this);
    browser->setAccessibleDescription(title);
    connect(browser, &QAbstractButton::clicked, this, [this] { Q_EMIT openRequested(result_); });
    row->addWidget(browser, 0, Qt::AlignTop);
    buttons_ << browser;
}

QList<QWidget*> SearchResultRow::focusChain() const { return buttons_; }

}  // namespace folioport::ui
