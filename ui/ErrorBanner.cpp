#include "ui/ErrorBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/SymbolView.h"

namespace folioport::ui {

ErrorBanner::ErrorBanner(QWidget* parent) : QWidget(parent), message_(new QLabel(this)) {
    setObjectName(QStringLiteral("errorBanner"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(new SymbolView(bundledSymbolIcon(Symbol::warning, Tint::orange), 14, this), 0, Qt::AlignTop);
    message_->setObjectName(QStringLiteral("errorMessageLabel"));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyTextStyle(*message_, TextStyle::caption);
    column_ = new QVBoxLayout;
    column_->setSpacing(6);
    column_->addWidget(message_);
    row->addLayout(column_, 1);
}

void ErrorBanner::addDetail(QWidget* detail) { column_->addWidget(detail); }

void ErrorBanner::setMessage(const QString& message) {
    message_->setText(message);
    setAccessibleName(tr("Error: %1").arg(message));
}

QString ErrorBanner::message() const { return message_->text(); }

void ErrorBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    fillRounded(painter, rect(), Tint::orange, 0.12, 8, palette());
}

}  // namespace folioport::ui
