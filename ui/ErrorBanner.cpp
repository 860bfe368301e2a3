#include "ui/ErrorBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace folioport::ui {

ErrorBanner::ErrorBanner(QWidget* parent) : ErrorBanner(QStringLiteral("errorBanner"), parent) {
    message_->setObjectName(QStringLiteral("errorMessageLabel"));
    failure_ = true;
}

ErrorBanner::ErrorBanner(const QString& name, QWidget* parent)
    : Banner(Shape::card, Symbol::warning, Tint::orange, parent), message_(new QLabel(this)), failure_(false) {
    setObjectName(name);
    message_->setObjectName(name + QStringLiteral("Label"));
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);  // why: messages quote the site, names included
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyTextStyle(*message_, TextStyle::caption);
    column_ = new QVBoxLayout;
    column_->setSpacing(6);
    column_->addWidget(message_);
    row().addLayout(column_, 1);
}

void ErrorBanner::addDetail(QWidget* detail) { column_->addWidget(detail); }

void ErrorBanner::setMessage(const QString& message) {
    message_->setText(message);
    setAccessibleName(failure_ ? tr("Error: %1").arg(message) : message);
}

QString ErrorBanner::message() const { return message_->text(); }

}  // namespace folioport::ui
