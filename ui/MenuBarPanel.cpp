#include "ui/MenuBarPanel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "appinfo/AppInfo.h"
#include "state/AppStore.h"
#include "ui/CapsuleLabel.h"
#include "ui/DraftsBanner.h"
#include "ui/KeyringWaitPanel.h"
#include "ui/PageList.h"
#include "ui/PlainButton.h"
#include "ui/SpaceBar.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/SymbolView.h"
#include "ui/UpdateBanner.h"
#include "updater/Updater.h"

namespace folioport::ui {
namespace {

constexpr int headerButtonSize = 28;

PlainButton* headerButton(Symbol symbol, const QString& help, const QString& objectName, QWidget* parent) {
    PlainButton* button = iconButton(symbol, help, objectName, parent, 16, Tint::secondary);
    button->setFixedSize(headerButtonSize, headerButtonSize);
    return button;
}

PlainButton* footerButton(const QString& text, TextStyle style, const QString& objectName, QWidget* parent) {
    auto* button = new PlainButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    applyTextStyle(*button, style, Tint::secondary);
    return button;
}

}  // namespace

MenuBarPanel::MenuBarPanel(AppStore& store, Updater& updater, QWidget* parent)
    : QWidget(parent), store_(store), updater_(updater) {
    setObjectName(QStringLiteral("menuBarPanel"));
    setAccessibleName(tr("Confluence Pages"));
    setFixedSize(fullSize);

    auto* stack = new QVBoxLayout(this);
    // why: room for the hairline edge a frameless popup draws, which the sections would cover
    stack->setContentsMargins(1, 1, 1, 1);
    stack->setSpacing(0);
    stack->addWidget(buildHeader());
    stack->addWidget(horizontalDivider(this));

    updateBanner_ = new UpdateBanner(updater_, this);
    connect(updateBanner_, &UpdateBanner::aboutRequested, this, &MenuBarPanel::aboutRequested);
    stack->addWidget(updateBanner_);
    updateDivider_ = horizontalDivider(this);
    stack->addWidget(updateDivider_);

    spaceBar_ = new SpaceBar(store_, this);
    stack->addWidget(spaceBar_);
    pageList_ = new PageList(store_, this);
    connect(pageList_, &PageList::editRequested, this, &MenuBarPanel::editPageRequested);
    connect(pageList_, &PageList::newChildRequested, this, &MenuBarPanel::newChildPageRequested);
    connect(pageList_, &PageList::settingsRequested, this, &MenuBarPanel::settingsRequested);
    stack->addWidget(pageList_, 1);
    configuredOnly_ << spaceBar_ << pageList_;
    stack->addWidget(buildNotConfigured(), 1);
    keyringWait_ = new KeyringWaitPanel(this);
    connect(keyringWait_, &KeyringWaitPanel::unlockRequested, this, [this] {
        store_.unlockKeyring();
        // why: the keyring's password prompt needs the keyboard, which the panel holds while it is a popup.
        if (isWindow() && windowType() == Qt::Popup) hide();
    });
    connect(keyringWait_, &KeyringWaitPanel::retryRequested, this, [this] { store_.retryKeyring(); });
    connect(keyringWait_, &KeyringWaitPanel::settingsRequested, this, &MenuBarPanel::settingsRequested);
    stack->addWidget(keyringWait_, 1);
    readingSettings_ = new QLabel(tr("Loading\u2026"), this);
    readingSettings_->setObjectName(QStringLiteral("readingSettingsLabel"));
    readingSettings_->setAlignment(Qt::AlignCenter);
    applyTextStyle(*readingSettings_, TextStyle::caption, Tint::secondary);
    stack->addWidget(readingSettings_, 1);
    // why: below the list, so that nothing above moves while drafts are offered.
    draftsBanner_ = new DraftsBanner(store_, this);
    connect(draftsBanner_, &DraftsBanner::reopenRequested, this, &MenuBarPanel::draftsReopenRequested);
    stack->addWidget(draftsBanner_);

    stack->addWidget(horizontalDivider(this));
    stack->addWidget(buildFooter());

    connect(&store_, &AppStore::settingsChanged, this, &MenuBarPanel::startOnceSettingsAreRead);
    for (auto changed : {&AppStore::settingsChanged, &AppStore::currentUserChanged, &AppStore::spacesChanged,
                         &AppStore::pagesChanged, &AppStore::isLoadingChanged, &AppStore::errorChanged,
                         &AppStore::staleListChanged, &AppStore::busyPageIdsChanged})
        connect(&store_, changed, this, &MenuBarPanel::scheduleRefresh);
    for (auto changed : {&Updater::availableChanged, &Updater::isCheckingChanged, &Updater::statusChanged,
                         &Updater::errorMessageChanged, &Updater::dismissedVersionChanged})
        connect(&updater_, changed, this, &MenuBarPanel::scheduleRefresh);
    refresh();
}

QWidget* MenuBarPanel::buildHeader() {
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    row->addWidget(new SymbolView(bundledSymbolIcon(Symbol::document, Tint::accent), 22, header));

    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    auto* title = new QLabel(tr("Confluence Pages"), header);
    title->setObjectName(QStringLiteral("panelTitleLabel"));
    applyTextStyle(*title, TextStyle::headline);
    titleRow->addWidget(title);
    demoBadge_ = new CapsuleLabel(Tint::orange, false, header);
    demoBadge_->setObjectName(QStringLiteral("demoBadge"));
    demoBadge_->setText(tr("Demo"));
    demoBadge_->setToolTip(tr("A local demo site; your own settings are not used"));
    demoBadge_->hide();
    titleRow->addWidget(demoBadge_);
    titleRow->addStretch(1);
    column->addLayout(titleRow);
    userName_ = new QLabel(header);
    userName_->setObjectName(QStringLiteral("userNameLabel"));
    userName_->setTextFormat(Qt::PlainText);
    applyTextStyle(*userName_, TextStyle::caption, Tint::secondary);
    column->addWidget(userName_);
    row->addLayout(column, 1);

    PlainButton* newPage = headerButton(Symbol::plusCircle, tr("New page"), QStringLiteral("newPageButton"), header);
    connect(newPage, &QAbstractButton::clicked, this, &MenuBarPanel::newPageRequested);
    PlainButton* search = headerButton(Symbol::magnifier, tr("Search pages"), QStringLiteral("searchButton"), header);
    connect(search, &QAbstractButton::clicked, this, &MenuBarPanel::searchRequested);
    refreshButton_ = headerButton(Symbol::refresh, tr("Refresh"), QStringLiteral("refreshButton"), header);
    connect(refreshButton_, &QAbstractButton::clicked, this, [this] { store_.load(false); });
    refreshSpinner_ = new Spinner(14, refreshButton_);
    refreshSpinner_->setObjectName(QStringLiteral("refreshSpinner"));
    refreshSpinner_->setGeometry((headerButtonSize - 14) / 2, (headerButtonSize - 14) / 2, 14, 14);
    refreshSpinner_->hide();
    PlainButton* settings = headerButton(Symbol::gear, tr("Settings"), QStringLiteral("settingsButton"), header);
    connect(settings, &QAbstractButton::clicked, this, &MenuBarPanel::settingsRequested);
    for (PlainButton* button : {newPage, search, refreshButton_, settings}) {
        row->addWidget(button);
        headerButtons_ << button;
    }
    configuredOnly_ << newPage << search << refreshButton_;
    return header;
}

QWidget* MenuBarPanel::buildNotConfigured() {
    notConfigured_ = new QWidget(this);
    notConfigured_->setObjectName(QStringLiteral("notConfiguredPanel"));
    auto* column = new QVBoxLayout(notConfigured_);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(new SymbolView(bundledSymbolIcon(Symbol::linkPlus, Tint::secondary), 40, notConfigured_), 0,
                      Qt::AlignHCenter);
    auto* heading = new QLabel(tr("Connect to Confluence"), notConfigured_);
    applyTextStyle(*heading, TextStyle::headline);
    column->addWidget(heading, 0, Qt::AlignHCenter);
    auto* explanation =
        new QLabel(tr("Enter your Atlassian site, email and API token to browse and edit your pages."), notConfigured_);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignCenter);
    explanation->setContentsMargins(24, 0, 24, 0);
    applyTextStyle(*explanation, TextStyle::caption, Tint::secondary);
    column->addWidget(explanation);
    openSettings_ = new QPushButton(tr("Open Settings"), notConfigured_);
    openSettings_->setObjectName(QStringLiteral("openSettingsButton"));
    openSettings_->setDefault(true);
    openSettings_->setMinimumSize(openSettings_->sizeHint() + QSize(24, 8));
    connect(openSettings_, &QAbstractButton::clicked, this, &MenuBarPanel::settingsRequested);
    column->addWidget(openSettings_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return notConfigured_;
}

QWidget* MenuBarPanel::buildFooter() {
    auto* footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("footer"));
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);
    versionButton_ = footerButton(QStringLiteral("v%1").arg(QString::fromStdString(AppInfo::version())),
                                  TextStyle::caption2, QStringLiteral("versionButton"), footer);
    versionButton_->setHelp(tr("About & changelog"));
    versionButton_->setAccessibleDescription(tr("About & changelog"));
    connect(versionButton_, &QAbstractButton::clicked, this, &MenuBarPanel::aboutRequested);
    row->addWidget(versionButton_);
    spaceCount_ = new QLabel(footer);
    spaceCount_->setObjectName(QStringLiteral("spaceCountLabel"));
    applyTextStyle(*spaceCount_, TextStyle::caption2, Tint::secondary);
    row->addWidget(spaceCount_);
    row->addStretch(1);
    quitButton_ = footerButton(tr("Quit"), TextStyle::caption, QStringLiteral("quitButton"), footer);
    quitButton_->setToolTip(tr("Quit Folioport"));
    connect(quitButton_, &QAbstractButton::clicked, this, &MenuBarPanel::quitRequested);
    row->addWidget(quitButton_);
    return footer;
}

void MenuBarPanel::setDemo(bool demo) { demoBadge_->setVisible(demo); }

void MenuBarPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    scheduleRefresh();  // why: the rows' relative days ("today") may have moved on since the last redraw
    comingOnScreen_ = true;
    startOnceSettingsAreRead();
}

void MenuBarPanel::startOnceSettingsAreRead() {
    if (!comingOnScreen_ || store_.isReadingSettings()) return;
    comingOnScreen_ = false;
    if (!didInitialLoad_) {
        didInitialLoad_ = true;
        if (store_.config().isComplete()) store_.load(false);
    }
    Q_EMIT cameOnScreen();
}

void MenuBarPanel::keyPressEvent(QKeyEvent* event) {
    // why: Return that no focused control took answers the banner's default button, as in a dialog.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && updateBanner_->pressDefault()) return;
    QWidget::keyPressEvent(event);
}

void MenuBarPanel::paintEvent(QPaintEvent*) {
    // why: as a frameless popup the panel has no window frame to set it off from what lies behind.
    if (!isWindow() || !windowFlags().testFlag(Qt::FramelessWindowHint)) return;
    QPainter painter(this);
    QColor edge = colourOf(Tint::primary, palette());
    edge.setAlphaF(0.25f);
    painter.setPen(edge);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// why: the store announces every field of a load one by one; one redraw per event loop turn suffices.
void MenuBarPanel::scheduleRefresh() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &MenuBarPanel::refresh, Qt::QueuedConnection);
}

void MenuBarPanel::refresh() {
    refreshPending_ = false;
    const bool reading = store_.isReadingSettings();
    // why: a token the keyring would not give is unknown, not missing: "Connect to Confluence" would mislead.
    const auto& keyringProblem = store_.keyringProblem();
    const bool waiting = !reading && keyringProblem.has_value();
    const bool configured = !reading && !waiting && store_.config().isComplete();
    for (QWidget* widget : configuredOnly_) widget->setVisible(configured);
    notConfigured_->setVisible(!reading && !waiting && !configured);
    keyringWait_->setVisible(waiting);
    if (waiting) keyringWait_->setReason(*keyringProblem);
    readingSettings_->setVisible(reading);

    const auto& user = store_.currentUser();
    const auto name = user ? nameOf(*user) : std::nullopt;
    userName_->setVisible(name.has_value());
    userName_->setText(QString::fromStdString(name.value_or(std::string())));

    const bool loading = store_.isLoading();
    refreshButton_->setEnabled(!loading);
    refreshButton_->setIcon(loading ? QIcon() : symbolIcon(Symbol::refresh, Tint::secondary));
    refreshSpinner_->setVisible(loading);
    refreshSpinner_->setSpinning(loading);

    const bool offered = UpdateBanner::isOffered(updater_);
    updateBanner_->setVisible(offered);
    updateDivider_->setVisible(offered);
    if (offered) updateBanner_->refresh();

    if (configured) {
        spaceBar_->refresh();
        pageList_->refresh();
    }
    const auto spaces = store_.spaces().size();
    spaceCount_->setVisible(configured && spaces > 0);
    spaceCount_->setText(spaces == 1 ? tr("\u00b7 1 space") : tr("\u00b7 %1 spaces").arg(spaces));
    updateTabOrder();
}

void MenuBarPanel::updateTabOrder() {
    QList<QWidget*> chain = headerButtons_;
    chain << updateBanner_->focusChain() << spaceBar_->focusTarget() << pageList_->focusChain() << openSettings_
          << keyringWait_->focusChain() << draftsBanner_->focusChain() << versionButton_ << quitButton_;
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace folioport::ui
