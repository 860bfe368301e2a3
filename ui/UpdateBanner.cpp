#include "ui/UpdateBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/PlainButton.h"
#include "updater/Updater.h"

namespace folioport::ui {
namespace {

PlainButton* textButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new PlainButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    applyTextStyle(*button, TextStyle::caption, Tint::accent);
    return button;
}

}  // namespace

UpdateBanner::UpdateBanner(Updater& updater, QWidget* parent)
    : Banner(Shape::band, Symbol::updateArrow, Tint::green, parent), updater_(updater) {
    setObjectName(QStringLiteral("updateBanner"));

    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("updateTitleLabel"));
    title_->setTextFormat(Qt::PlainText);  // why: the version comes from the unsigned feed
    applyTextStyle(*title_, TextStyle::callout, Tint::primary, QFont::Medium);
    column->addWidget(title_);
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("updateDetailLabel"));
    detail_->setTextFormat(Qt::PlainText);
    detail_->setWordWrap(true);
    column->addWidget(detail_);
    row().addLayout(column, 1);

    whatsNew_ = textButton(tr("What's new"), QStringLiteral("whatsNewButton"), this);
    connect(whatsNew_, &QAbstractButton::clicked, this, &UpdateBanner::aboutRequested);
    row().addWidget(whatsNew_);
    later_ = textButton(tr("Later"), QStringLiteral("laterButton"), this);
    connect(later_, &QAbstractButton::clicked, this, [this] { updater_.dismiss(); });
    row().addWidget(later_);
    install_ = new QPushButton(tr("Update && Relaunch"), this);
    install_->setObjectName(QStringLiteral("installButton"));
    install_->setAccessibleName(tr("Update & Relaunch"));
    install_->setDefault(true);
    install_->setMinimumWidth(install_->sizeHint().width() + 16);
    connect(install_, &QAbstractButton::clicked, this, [this] { updater_.install(); });
    row().addWidget(install_);
}

bool UpdateBanner::isOffered(const Updater& updater) {
    return updater.available() && updater.available()->version != updater.dismissedVersion() &&
           !updater.updatesThroughPackageManager();
}

void UpdateBanner::refresh() {
    const auto& offered = updater_.available();
    title_->setText(tr("Version %1 is available").arg(QString::fromStdString(offered ? offered->version : "")));
    const auto& status = updater_.status();
    const auto& error = updater_.errorMessage();
    detail_->setVisible(status || error);
    detail_->setText(QString::fromStdString(status ? *status : error.value_or(std::string())));
    applyTextStyle(*detail_, TextStyle::caption, status ? Tint::secondary : Tint::red);
    install_->setEnabled(!updater_.isChecking());
}

bool UpdateBanner::pressDefault() {
    if (!isVisible() || !install_->isEnabled()) return false;
    install_->animateClick();
    return true;
}

QList<QWidget*> UpdateBanner::focusChain() const { return {whatsNew_, later_, install_}; }

}  // namespace folioport::ui
