#include "ui/MenuBarPanel.h"

#include <QShowEvent>

#include "state/AppStore.h"
#include "updater/Updater.h"

namespace folioport::ui {

MenuBarPanel::MenuBarPanel(AppStore& store, Updater& updater, QWidget* parent)
    : QWidget(parent), store_(store), updater_(updater) {
    setObjectName(QStringLiteral("menuBarPanel"));
    setFixedSize(560, 700);
}

MenuBarPanel::~MenuBarPanel() = default;

void MenuBarPanel::setDemo(bool) {}

void MenuBarPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!didInitialLoad_) {
        didInitialLoad_ = true;
        if (store_.config().isComplete()) store_.load(false);
    }
    Q_EMIT cameOnScreen();
}

}  // namespace folioport::ui
