#include "app/TrayItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "app/AppIcons.h"
#include "app/PopupPlacement.h"
#include "app/TrayActivation.h"
#include "app/TrayLabel.h"
#include "state/AppStore.h"

namespace folioport {

namespace {

QPoint clickPosition() {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << screen->geometry();
    return trayClickPosition(takeTrayActivationPosition(), QCursor::pos(), screens);
}

}  // namespace

TrayItem::TrayItem(AppStore& store, bool demo, QObject* parent) : QObject(parent), store_(store), demo_(demo), icon_(new QSystemTrayIcon(this)) {
    icon_->setObjectName(QStringLiteral("trayIcon"));
    noteTrayActivationPositions();
    menu_.addAction(QStringLiteral("Open"), this, [this] { Q_EMIT openRequested(QCursor::pos()); });
    menu_.addAction(QStringLiteral("Settings…"), this, &TrayItem::settingsRequested);
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Quit"), this, &TrayItem::quitRequested);
    icon_->setContextMenu(&menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) Q_EMIT clicked(clickPosition());
    });
    connect(&store_, &AppStore::settingsChanged, this, &TrayItem::refresh);
    refresh();
}

void TrayItem::refresh() {
    const QString key = trayKeyText(store_.config(), store_.settings().spaceKey);
    icon_->setIcon(trayIcon(documentSymbol(), key));
    icon_->setToolTip(trayToolTip(key, demo_));
}

}  // namespace folioport
