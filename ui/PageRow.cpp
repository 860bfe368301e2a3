#include "ui/PageRow.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include <chrono>

#include "confluence/ConfDate.h"
#include "storage/Utf8.h"
#include "ui/ActionText.h"
#include "ui/CapsuleLabel.h"
#include "ui/Clock.h"
#include "ui/ElidedLabel.h"
#include "ui/PlainButton.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/SymbolView.h"
#include "ui/TintedIconButton.h"

namespace folioport::ui {
namespace {

using namespace std::chrono_literals;
constexpr auto copiedDuration = 1200ms;

/// "Updated <day> · <relative day>" when the page's latest version has a readable date.
std::optional<QString> updatedLine(const Page& page) {
    const auto date = ConfDate::parse(page.version ? page.version->createdAt : std::nullopt);
    if (!date) return std::nullopt;
    return QStringLiteral("Updated %1 \u00b7 %2")
        .arg(qs(ConfDate::dayLabel(*date)), qs(ConfDate::relativeDays(*date, Clock::current().now())));
}

/// A whole block of labels as one click target: hover and focus drawn behind it, Return presses it.
class BlockButton final : public QAbstractButton {
public:
    explicit BlockButton(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (underMouse() || isDown()) fillRounded(painter, rect(), Tint::secondary, isDown() ? 0.12 : 0.06, 6, palette());
        if (hasFocus()) paintFocusRing(painter, rect(), 6, palette());
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            animateClick();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }
};

}  // namespace

PageRow::PageRow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageRow"));
    // why: the info block keeps 4 of the row's 8 px padding inside itself, so its hover and focus
    // ring have room around the text; the buttons keep theirs outside.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    row->addWidget(buildInfo(), 1, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 4, 4, 4);
    buttons->setSpacing(8);
    row->addLayout(buttons);

    busyBox_ = new QWidget(this);
    busyBox_->setObjectName(QStringLiteral("busyBox"));
    busyBox_->setFixedWidth(56);
    auto* busyLayout = new QHBoxLayout(busyBox_);
    busyLayout->setContentsMargins(0, 0, 0, 0);
    spinner_ = new Spinner(16, busyBox_);
    spinner_->setObjectName(QStringLiteral("busySpinner"));
    spinner_->setAccessibleName(tr("Working on this page"));
    busyLayout->addWidget(spinner_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(busyBox_, 0, Qt::AlignTop);

    edit_ = new TintedIconButton(Symbol::pencil, tr("Edit this page"), QStringLiteral("editButton"), this);
    connect(edit_, &QAbstractButton::clicked, this, [this] { Q_EMIT editRequested(page_); });
    buttons->addWidget(edit_, 0, Qt::AlignTop);

    actions_ = iconButton(Symbol::ellipsis, tr("Page actions"), QStringLiteral("actionsButton"), this, 16);
    actions_->setFixedSize(24, 24);
    actions_->setMenu(buildActionsMenu());
    actions_->setPopupMode(QToolButton::InstantPopup);
    buttons->addWidget(actions_, 0, Qt::AlignTop);
}

QWidget* PageRow::buildInfo() {
    info_ = new BlockButton(this);
    info_->setObjectName(QStringLiteral("infoButton"));
    info_->setToolTip(tr("Click to copy the page's title and link"));
    info_->setAccessibleDescription(tr("Click to copy the page's title and link"));
    info_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(info_, &QAbstractButton::clicked, this, &PageRow::copyLink);

    auto* column = new QVBoxLayout(info_);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(3);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    badge_ = new CapsuleLabel(Tint::accent, true, info_);
    badge_->setObjectName(QStringLiteral("spaceKeyBadge"));
    top->addWidget(badge_);
    version_ = new QLabel(info_);
    version_->setObjectName(QStringLiteral("versionLabel"));
    applyTextStyle(*version_, TextStyle::caption2, Tint::secondary);
    top->addWidget(version_);

    copied_ = new QWidget(info_);
    copied_->setObjectName(QStringLiteral("copiedLabel"));
    auto* copiedRow = new QHBoxLayout(copied_);
    copiedRow->setContentsMargins(0, 0, 0, 0);
    copiedRow->setSpacing(3);
    copiedRow->addWidget(new SymbolView(bundledSymbolIcon(Symbol::copyFilled, Tint::secondary), 10, copied_));
    auto* copiedText = new QLabel(tr("Copied"), copied_);
    applyTextStyle(*copiedText, TextStyle::caption2, Tint::secondary);
    copiedRow->addWidget(copiedText);
    copiedOpacity_ = new QGraphicsOpacityEffect(copied_);
    copied_->setGraphicsEffect(copiedOpacity_);
    copiedFade_ = new QPropertyAnimation(copiedOpacity_, "opacity", this);
    copiedFade_->setEasingCurve(QEasingCurve::OutCubic);
    connect(copiedFade_, &QAbstractAnimation::finished, this, [this] { copied_->setVisible(didCopy_); });
    copied_->hide();
    top->addWidget(copied_);
    top->addStretch();
    column->addLayout(top);

    title_ = new ElidedLabel(2, info_);
    title_->setObjectName(QStringLiteral("titleLabel"));
    title_->setFont(fontFor(TextStyle::callout));
    column->addWidget(title_);

    dateLine_ = new QWidget(info_);
    dateLine_->setObjectName(QStringLiteral("dateLine"));
    auto* dateRow = new QHBoxLayout(dateLine_);
    dateRow->setContentsMargins(0, 0, 0, 0);
    dateRow->setSpacing(4);
    dateRow->addWidget(new SymbolView(symbolIcon(Symbol::clock), 10, dateLine_));
    date_ = new QLabel(dateLine_);
    date_->setObjectName(QStringLiteral("dateLabel"));
    applyTextStyle(*date_, TextStyle::caption2, Tint::secondary);
    dateRow->addWidget(date_, 1);
    column->addWidget(dateLine_);

    // why: the labels only show; every click on the block belongs to the button.
    for (QWidget* child : info_->findChildren<QWidget*>()) child->setAttribute(Qt::WA_TransparentForMouseEvents);
    return info_;
}

QMenu* PageRow::buildActionsMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("actionsMenu"));
    menu->setAccessibleName(tr("Page actions"));
    menu->addAction(symbolIcon(Symbol::pencil), tr("Edit page"), this, [this] { Q_EMIT editRequested(page_); });
    menu->addAction(symbolIcon(Symbol::browser), tr("Open in browser"), this, [this] { Q_EMIT openRequested(page_); });
    menu->addAction(symbolIcon(Symbol::copy), tr("Copy title + link"), this, &PageRow::copyLink);
    menu->addAction(symbolIcon(Symbol::textFormat), tr("Copy title"), this,
                    [this] { Q_EMIT copyTitleRequested(page_); });
    menu->addAction(symbolIcon(Symbol::newChild), tr("New child page"), this,
                    [this] { Q_EMIT newChildRequested(page_); });
    menu->addSeparator();
    trashMenu_ = menu->addMenu(symbolIcon(Symbol::trash), tr("Move to trash\u2026"));
    trashMenu_->setObjectName(QStringLiteral("trashMenu"));
    trashMenu_->setAccessibleName(trashMenu_->title());
    trashConfirm_ = trashMenu_->addAction(symbolIcon(Symbol::trash), QString(), this,
                                          [this] { Q_EMIT trashRequested(page_); });
    trashConfirm_->setObjectName(QStringLiteral("trashConfirmAction"));
    return menu;
}

void PageRow::setPage(const Page& page, const std::optional<std::string>& spaceKey, bool busy) {
    page_ = page;
    const QString title = qs(Utf8::oneLine(titleOf(page)));
    setAccessibleName(title);

    badge_->setVisible(spaceKey.has_value());
    badge_->setText(spaceKey ? qs(*spaceKey) : QString());
    version_->setText(QStringLiteral("v%1").arg(versionOf(page)));
    title_->setText(title);
    const auto updated = updatedLine(page);
    dateLine_->setVisible(updated.has_value());
    date_->setText(updated.value_or(QString()));
    QStringList spoken = {title, version_->text()};
    if (updated) spoken << *updated;
    info_->setAccessibleName(spoken.join(QStringLiteral(", ")));

    edit_->setAccessibleName(tr("Edit \u201c%1\u201d").arg(title));
    actions_->setAccessibleName(tr("Actions for \u201c%1\u201d").arg(title));
    trashConfirm_->setText(actionText(tr("Yes, move \u201c%1\u201d to trash").arg(title)));

    busyBox_->setVisible(busy);
    spinner_->setSpinning(busy);
    edit_->setVisible(!busy);
    actions_->setVisible(!busy);
}

QList<QWidget*> PageRow::focusChain() const { return {info_, edit_, actions_}; }

void PageRow::copyLink() {
    Q_EMIT copyLinkRequested(page_);
    setCopied(true);
    // why: a second copy meanwhile shows "Copied" for its own full time.
    const std::uint64_t copy = ++copies_;
    Clock::current().after(copiedDuration, this, [this, copy] {
        if (copy == copies_) setCopied(false);
    });
}

void PageRow::setCopied(bool copied) {
    didCopy_ = copied;
    copiedFade_->stop();
    copiedFade_->setDuration(copied ? 150 : 250);
    copiedFade_->setStartValue(copiedOpacity_->opacity());
    copiedFade_->setEndValue(copied ? 1.0 : 0.0);
    if (copied) {
        copiedOpacity_->setOpacity(0.0);
        copiedFade_->setStartValue(0.0);
        copied_->show();
    }
    copiedFade_->start();
}

void PageRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), Tint::secondary, 0.06, 8, palette());
}

}  // namespace folioport::ui
