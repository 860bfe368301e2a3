#include "ui/KeyringWaitPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Style.h"
#include "ui/SymbolView.h"
#include "ui/Symbols.h"

namespace folioport::ui {

using Unreadable = StoredSettings::TokenUnreadable;

KeyringWaitPanel::KeyringWaitPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("keyringWaitPanel"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(new SymbolView(bundledSymbolIcon(Symbol::warning, Tint::orange), 40, this), 0, Qt::AlignHCenter);
    auto* heading = new QLabel(tr("Waiting for the keyring"), this);
    heading->setObjectName(QStringLiteral("keyringWaitHeading"));
    applyTextStyle(*heading, TextStyle::headline);
    column->addWidget(heading, 0, Qt::AlignHCenter);
    explanation_ = new QLabel(this);
    explanation_->setObjectName(QStringLiteral("keyringWaitLabel"));
    explanation_->setWordWrap(true);
    explanation_->setAlignment(Qt::AlignCenter);
    explanation_->setContentsMargins(24, 0, 24, 0);
    applyTextStyle(*explanation_, TextStyle::caption, Tint::secondary);
    column->addWidget(explanation_);

    const auto button = [this, column](const QString& text, const char* name, void (KeyringWaitPanel::*signal)()) {
        auto* created = new QPushButton(text, this);
        created->setObjectName(QString::fromLatin1(name));
        created->setMinimumSize(created->sizeHint() + QSize(24, 8));
        connect(created, &QAbstractButton::clicked, this, signal);
        column->addWidget(created, 0, Qt::AlignHCenter);
        return created;
    };
    unlock_ = button(tr("Unlock"), "unlockKeyringButton", &KeyringWaitPanel::unlockRequested);
    unlock_->setDefault(true);
    retry_ = button(tr("Try Again"), "retryKeyringButton", &KeyringWaitPanel::retryRequested);
    retry_->setDefault(true);
    openSettings_ = button(tr("Open Settings"), "keyringSettingsButton", &KeyringWaitPanel::settingsRequested);
    column->addStretch(1);
    setReason(Unreadable::noSecretService);
}

void KeyringWaitPanel::setReason(Unreadable reason) {
    QString text;
    switch (reason) {
    case Unreadable::locked:
        text = tr("The keyring that holds your API token is locked, so Folioport cannot read the token yet. It goes "
                  "on by itself once the keyring is unlocked.");
        break;
    case Unreadable::noSecretService:
        text = tr("No keyring (Secret Service) is running yet, so Folioport cannot read your API token. It goes on "
                  "by itself once the keyring starts.");
        break;
    case Unreadable::timedOut:
        text = tr("The keyring did not answer, so Folioport could not read your API token. It goes on by itself "
                  "when the keyring comes back, or try again now.");
        break;
    case Unreadable::noSessionBus:
    case Unreadable::noLibrary:
        text = tr("Folioport could not ask the keyring for your API token: %1.")
                   .arg(QString::fromUtf8(StoredSettings::describe(reason)));
        break;
    }
    explanation_->setText(text);
    unlock_->setVisible(reason == Unreadable::locked);
    retry_->setVisible(reason == Unreadable::timedOut || reason == Unreadable::noSessionBus);
}

QList<QWidget*> KeyringWaitPanel::focusChain() const {
    QList<QWidget*> chain;
    for (QWidget* button : {static_cast<QWidget*>(unlock_), static_cast<QWidget*>(retry_),
                            static_cast<QWidget*>(openSettings_)})
        if (!button->isHidden()) chain << button;
    return chain;
}

}  // namespace folioport::ui
