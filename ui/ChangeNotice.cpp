#include "ui/ChangeNotice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/SymbolView.h"

namespace folioport::ui {
namespace {

QPushButton* noticeButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    // why: Return in the editor saves; a notice button answers only to a click or the space bar.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ChangeNotice::ChangeNotice(QWidget* parent) : QWidget(parent), message_(new QLabel(this)) {
    setObjectName(QStringLiteral("changeNotice"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(new SymbolView(bundledSymbolIcon(Symbol::warning, Tint::orange), 14, this), 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    message_->setObjectName(QStringLiteral("changeNoticeLabel"));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);  // why: it names a person as the site spells them
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyTextStyle(*message_, TextStyle::caption);
    column->addWidget(message_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    reload_ = noticeButton(tr("Reload"), QStringLiteral("reloadButton"), this);
    connect(reload_, &QAbstractButton::clicked, this, &ChangeNotice::reloadRequested);
    buttons->addWidget(reload_);
    saveAnyway_ = noticeButton(tr("Save anyway"), QStringLiteral("saveAnywayButton"), this);
    connect(saveAnyway_, &QAbstractButton::clicked, this, &ChangeNotice::saveAnywayRequested);
    buttons->addWidget(saveAnyway_);
    buttons->addStretch(1);
    column->addLayout(buttons);
    row->addLayout(column, 1);
}

void ChangeNotice::setMessage(const QString& message) {
    message_->setText(message);
    setAccessibleName(message);
}

QString ChangeNotice::message() const { return message_->text(); }

QList<QWidget*> ChangeNotice::focusChain() const { return {reload_, saveAnyway_}; }

void ChangeNotice::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), Tint::orange, 0.12, 8, palette());
}

}  // namespace folioport::ui
