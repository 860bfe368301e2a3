#include "ui/SearchView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include "state/AppStore.h"
#include "ui/DialogKeys.h"
#include "ui/EmptyHint.h"
#include "ui/SiteErrorBanner.h"
#include "ui/SearchResultRow.h"
#include "ui/ProgressButton.h"
#include "ui/Style.h"
#include "ui/SymbolView.h"

namespace folioport::ui {
namespace {

/// The default space key, untouched; the scope box exists only when it is not blank.
bool hasDefaultSpace(const AppStore& store) {
    return !QString::fromStdString(store.settings().spaceKey).trimmed().isEmpty();
}

}  // namespace

std::optional<QString> pageLinkDialog(QWidget* window) {
    QInputDialog dialog(window);
    dialog.setWindowTitle(QObject::tr("Open a page link"));
    dialog.setLabelText(QObject::tr("Paste a link to a Confluence page, or its id:"));
    dialog.setOkButtonText(QObject::tr("Open"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.resize(460, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().trimmed().isEmpty()) return std::nullopt;
    return dialog.textValue();
}

SearchView::SearchView(AppStore& store, std::function<void()> onClose, AskPageLink askPageLink, QWidget* parent)
    : QWidget(parent), store_(store), onClose_(std::move(onClose)), askPageLink_(std::move(askPageLink)) {
    setObjectName(QStringLiteral("searchView"));
    setMinimumSize(460, 360);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(buildSearchBar());
    stack->addWidget(horizontalDivider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("resultsArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    // why: Tab moves through the controls inside, and the area scrolls to the focused one.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // why: the hits sit on the text background, as a list does, between the search bar and the footer.
    scroll->viewport()->setBackgroundRole(QPalette::Base);
    auto* content = new QWidget(scroll);
    resultsColumn_ = new QVBoxLayout(content);
    resultsColumn_->setContentsMargins(12, 12, 12, 12);
    resultsColumn_->setSpacing(8);
    errorBanner_ = new SiteErrorBanner(store_, content);
    connect(errorBanner_, &SiteErrorBanner::settingsRequested, this, &SearchView::settingsRequested);
    resultsColumn_->addWidget(errorBanner_);
    hint_ = new EmptyHint(content);
    resultsColumn_->addWidget(hint_);
    resultsColumn_->addStretch(1);
    scroll->setWidget(content);
    stack->addWidget(scroll, 1);

    stack->addWidget(horizontalDivider(this));
    stack->addWidget(buildFooter());

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        query_->setFocus(Qt::ShortcutFocusReason);
        query_->selectAll();
    });

    connect(&store_, &AppStore::errorChanged, this, &SearchView::refresh);
    connect(&store_, &AppStore::settingsChanged, this, &SearchView::refresh);
    refresh();
}

QWidget* SearchView::buildSearchBar() {
    auto* bar = new QWidget(this);
    auto* column = new QVBoxLayout(bar);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(new SymbolView(symbolIcon(Symbol::magnifier, Tint::secondary), 16, bar));
    query_ = new QLineEdit(bar);
    query_->setObjectName(QStringLiteral("queryField"));
    query_->setPlaceholderText(tr("Search page text and titles"));
    query_->setAccessibleName(tr("Search text"));
    connect(query_, &QLineEdit::textChanged, this, &SearchView::refresh);
    connect(query_, &QLineEdit::returnPressed, this, &SearchView::run);
    row->addWidget(query_, 1);

    searchButton_ = new ProgressButton(tr("Search"), QStringLiteral("searchButton"), bar);
    searchButton_->setDefault(true);
    connect(searchButton_, &QAbstractButton::clicked, this, &SearchView::run);
    row->addWidget(searchButton_);
    column->addLayout(row);

    scope_ = new QCheckBox(bar);
    scope_->setObjectName(QStringLiteral("scopeCheckBox"));
    applyTextStyle(*scope_, TextStyle::caption);
    connect(scope_, &QCheckBox::toggled, this, [this] {
        if (searched_) run();
    });
    column->addWidget(scope_);
    return bar;
}

QWidget* SearchView::buildFooter() {
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(12, 12, 12, 12);
    count_ = new QLabel(footer);
    count_->setObjectName(QStringLiteral("resultCountLabel"));
    applyTextStyle(*count_, TextStyle::caption, Tint::secondary);
    row->addWidget(count_);
    row->addStretch(1);
    openLinkButton_ = new QPushButton(tr("Open a page link\u2026"), footer);
    openLinkButton_->setObjectName(QStringLiteral("openLinkButton"));
    openLinkButton_->setToolTip(tr("Open the editor of a page from its link or id"));
    openLinkButton_->setAutoDefault(false);
    connect(openLinkButton_, &QAbstractButton::clicked, this, &SearchView::openPageLink);
    row->addWidget(openLinkButton_);
    closeButton_ = new QPushButton(tr("Close"), footer);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setAutoDefault(true);
    connect(closeButton_, &QAbstractButton::clicked, this, [this] { onClose_(); });
    row->addWidget(closeButton_);
    return footer;
}

void SearchView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (didAppear_) return;
    didAppear_ = true;
    scope_->setChecked(hasDefaultSpace(store_));
    query_->setFocus(Qt::OtherFocusReason);
}

void SearchView::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKey(*event, searchButton_, onClose_)) QWidget::keyPressEvent(event);
}

void SearchView::run() {
    const QString text = query_->text().trimmed();
    if (text.isEmpty() || searching_) return;
    searching_ = true;
    refresh();
    // why: the store answers on the main thread even after this window has closed.
    store_.search(text.toStdString(), scope_->isChecked(),
                  [self = QPointer<SearchView>(this)](std::vector<SearchResult> results) {
                      if (self) self->showResults(std::move(results));
                  });
}

void SearchView::openPageLink() {
    const std::optional<QString> pasted = askPageLink_(window());
    if (!pasted) return;
    const std::optional<std::string> id = store_.pageIdOfLink(pasted->trimmed().toStdString());
    if (!id) return;
    Page page;
    page.id = *id;
    // why: only the id is known before the editor loads the page, so the window is titled by it.
    page.title = tr("Page %1").arg(QString::fromStdString(*id)).toStdString();
    Q_EMIT editPageRequested(page);
}

void SearchView::showResults(std::vector<SearchResult> results) {
    results_ = std::move(results);
    searching_ = false;
    searched_ = true;
    for (SearchResultRow* row : rows_) row->deleteLater();
    rows_.clear();
    // why: the rows go after the banner and before the hint and the stretch, in the order received.
    int at = resultsColumn_->indexOf(hint_);
    for (const SearchResult& result : results_) {
        auto* row = new SearchResultRow(result, hint_->parentWidget());
        connect(row, &SearchResultRow::editRequested, this, &SearchView::editPageRequested);
        connect(row, &SearchResultRow::openRequested, this, [this](const SearchResult& hit) {
            store_.open(store_.webURL(hit));
        });
        resultsColumn_->insertWidget(at++, row);
        rows_ << row;
    }
    refresh();
}

void SearchView::refresh() {
    const bool blank = query_->text().trimmed().isEmpty();
    searchButton_->setEnabled(!blank && !searching_);
    searchButton_->setBusy(searching_);

    scope_->setVisible(hasDefaultSpace(store_));
    scope_->setText(tr("Only in %1").arg(QString::fromStdString(store_.settings().spaceKey)));

    errorBanner_->setError(store_.error());

    hint_->setVisible(results_.empty());
    hint_->setText(searching_  ? tr("Searching\u2026")
                   : searched_ ? tr("Nothing matched.")
                               : tr("Type something and press Return."));
    const auto count = static_cast<int>(results_.size());
    count_->setVisible(count > 0);
    count_->setText(count == 1 ? tr("1 result") : tr("%1 results").arg(count));
    updateTabOrder();
}

void SearchView::updateTabOrder() {
    QList<QWidget*> chain{query_, searchButton_, scope_};
    chain << errorBanner_->focusChain();
    for (SearchResultRow* row : rows_) chain << row->focusChain();
    chain << openLinkButton_ << closeButton_;
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace folioport::ui
