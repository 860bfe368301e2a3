#include "ui/AboutView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appinfo/AppInfo.h"
#include "ui/DialogKeys.h"
#include "ui/Style.h"

namespace folioport::ui {
namespace {

QLabel* styledLabel(const QString& text, TextStyle style, Tint tint, QWidget* parent,
                    QFont::Weight weight = QFont::Normal) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    applyTextStyle(*label, style, tint, weight);
    return label;
}

/// One release: "vX.Y.Z" and its date, then one bullet per change, each wrapped onto as many lines as it needs.
QWidget* releaseBlock(const ChangelogEntry& entry, QWidget* parent) {
    auto* block = new QWidget(parent);
    block->setObjectName(QStringLiteral("releaseBlock"));
    block->setAccessibleName(QStringLiteral("v%1, %2").arg(qs(entry.version), qs(entry.date)));
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    auto* version = styledLabel(QStringLiteral("v%1").arg(qs(entry.version)), TextStyle::callout, Tint::primary, block,
                                QFont::Bold);
    version->setObjectName(QStringLiteral("releaseVersionLabel"));
    heading->addWidget(version);
    heading->addWidget(styledLabel(qs(entry.date), TextStyle::caption, Tint::secondary, block));
    heading->addStretch(1);
    column->addLayout(heading);

    for (const std::string& change : entry.changes) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        auto* bullet = styledLabel(QStringLiteral("\u2022"), TextStyle::callout, Tint::secondary, block);
        bullet->setAccessibleName(QString());
        row->addWidget(bullet, 0, Qt::AlignTop);
        auto* text = styledLabel(qs(change), TextStyle::callout, Tint::primary, block);
        text->setObjectName(QStringLiteral("changeLabel"));
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(text, 1, Qt::AlignTop);
        column->addLayout(row);
    }
    return block;
}

}  // namespace

AboutView::AboutView(std::function<void()> onClose, QWidget* parent) : QWidget(parent), onClose_(std::move(onClose)) {
    setObjectName(QStringLiteral("aboutView"));
    // why: 420 × 440 on its own; a taller window gives the extra height to the changelog, not to blank space.
    setFixedWidth(420);
    setMinimumHeight(440);
    resize(420, 440);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(buildHeader());
    stack->addWidget(horizontalDivider(this));
    stack->addWidget(buildChangelog(), 1);
}

QWidget* AboutView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);

    auto* icon = new QLabel(header);
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setFixedSize(44, 44);
    icon->setPixmap(QApplication::windowIcon().pixmap(QSize(44, 44), devicePixelRatioF()));
    icon->setScaledContents(true);
    icon->setAccessibleName(tr("Folioport icon"));
    row->addWidget(icon);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    auto* name = styledLabel(QStringLiteral("Folioport"), TextStyle::headline, Tint::primary, header);
    name->setObjectName(QStringLiteral("appNameLabel"));
    names->addWidget(name);
    auto* version = styledLabel(tr("Version %1 (build %2)").arg(qs(AppInfo::version()), qs(AppInfo::build())),
                                TextStyle::caption, Tint::secondary, header);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    names->addWidget(version);
    row->addLayout(names);
    row->addStretch(1);

    doneButton_ = new QPushButton(tr("Done"), header);
    doneButton_->setObjectName(QStringLiteral("doneButton"));
    doneButton_->setDefault(true);
    doneButton_->setAutoDefault(true);
    connect(doneButton_, &QAbstractButton::clicked, this, [this] { onClose_(); });
    row->addWidget(doneButton_);
    return header;
}

QWidget* AboutView::buildChangelog() {
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("changelogArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // why: an empty, disabled scroll bar beside a changelog that fits reads as clutter; it shows once it scrolls.
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(16);
    // why: a size below the releases' own lines, so it reads as the section's label rather than one more release
    column->addWidget(styledLabel(tr("Changelog"), TextStyle::caption, Tint::secondary, content, QFont::Bold));
    for (const ChangelogEntry& entry : AppInfo::changelog()) column->addWidget(releaseBlock(entry, content));
    column->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

void AboutView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    doneButton_->setFocus(Qt::OtherFocusReason);
}

void AboutView::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKey(*event, doneButton_, onClose_)) QWidget::keyPressEvent(event);
}

}  // namespace folioport::ui
