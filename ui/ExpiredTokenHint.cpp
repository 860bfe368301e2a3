#include "ui/ExpiredTokenHint.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/PlainButton.h"
#include "ui/Style.h"

namespace folioport::ui {

PlainButton* tokenPageLink(const QString& objectName, QWidget* parent) {
    auto* link = new PlainButton(parent);
    link->setObjectName(objectName);
    link->setText(QObject::tr("Create an API token \u2197"));
    link->setAccessibleName(QObject::tr("Create an API token"));
    link->setAccessibleDescription(QObject::tr("Opens the API token page in the browser"));
    link->setToolTip(QLatin1String(tokenPageURL));
    QFont font = fontFor(TextStyle::caption);
    font.setUnderline(true);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    link->setPalette(palette);
    return link;
}

ExpiredTokenHint::ExpiredTokenHint(bool offersSettings, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("expiredTokenHint"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* line = new QLabel(tr("API tokens expire after at most a year; create a new one and paste it in Settings."), this);
    line->setObjectName(QStringLiteral("expiredTokenLabel"));
    line->setWordWrap(true);
    applyTextStyle(*line, TextStyle::caption);
    column->addWidget(line);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    link_ = tokenPageLink(QStringLiteral("expiredTokenLink"), this);
    connect(link_, &QAbstractButton::clicked, this, &ExpiredTokenHint::tokenPageRequested);
    row->addWidget(link_);
    if (offersSettings) {
        openSettings_ = new QPushButton(tr("Open Settings"), this);
        openSettings_->setObjectName(QStringLiteral("expiredTokenSettingsButton"));
        openSettings_->setAutoDefault(true);
        connect(openSettings_, &QAbstractButton::clicked, this, &ExpiredTokenHint::settingsRequested);
        row->addWidget(openSettings_);
    }
    row->addStretch(1);
    column->addLayout(row);
}

QList<QWidget*> ExpiredTokenHint::focusChain() const {
    QList<QWidget*> chain{link_};
    if (openSettings_) chain << openSettings_;
    return chain;
}

}  // namespace folioport::ui
