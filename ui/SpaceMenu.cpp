#include "ui/SpaceMenu.h"

#include <QWidgetAction>

#include "state/AppStore.h"
#include "ui/ActionText.h"
#include "ui/SpacePicker.h"
#include "ui/Symbols.h"

namespace folioport::ui {

SpaceMenu::SpaceMenu(AppStore& store, Options options, QWidget* parent)
    : QMenu(parent), store_(store), options_(std::move(options)) {
    setObjectName(QStringLiteral("spaceMenu"));
    setAccessibleName(options_.accessibleName);
    connect(&store_, &AppStore::spacesChanged, this, &SpaceMenu::rebuild);
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (picker_ && actions().contains(pickerAction_)) picker_->prepare();
    });
    rebuild();
}

void SpaceMenu::setListedKey(const std::string& key) {
    if (key == listedKey_) return;
    listedKey_ = key;
    if (picker_) picker_->setListedKey(key);
    if (!actions().contains(pickerAction_)) rebuildShortList();
}

void SpaceMenu::rebuild() {
    if (store_.spaces().size() > shortListLimit) showPicker();
    else rebuildShortList();
}

void SpaceMenu::rebuildShortList() {
    if (pickerAction_) removeAction(pickerAction_);
    clear();
    // why: only the listed item is checkable, so a screen reader hears "checked" there and the others
    // draw no empty check boxes.
    auto offer = [this](const QString& text, const std::string& key, const QIcon& icon) {
        QAction* item = addAction(icon, text, this, [this, key] { Q_EMIT picked(key); });
        if (!options_.marksListed || key != listedKey_) return;
        item->setIcon(symbolIcon(Symbol::checkmark));
        item->setCheckable(true);
        item->setChecked(true);
    };
    const auto& spaces = store_.spaces();
    if (options_.offersAllSpaces) {
        offer(tr("All spaces"), "", options_.marksListed ? symbolIcon(Symbol::grid) : QIcon());
        if (!spaces.empty()) addSeparator();
    }
    for (const Space& space : spaces) {
        const QString entry = QString::fromStdString(space.key) + QStringLiteral(" \u00b7 ") +
                              QString::fromStdString(space.name.value_or(space.key));
        offer(actionText(entry), space.key, QIcon());
    }
}

void SpaceMenu::showPicker() {
    if (!picker_) {
        picker_ = new SpacePicker(options_.accessibleName,
                                  {.offersAllSpaces = options_.offersAllSpaces, .marksListed = options_.marksListed});
        picker_->setListedKey(listedKey_);
        connect(picker_, &SpacePicker::picked, this, [this](const std::string& key) {
            close();
            Q_EMIT picked(key);
        });
        pickerAction_ = new QWidgetAction(this);
        pickerAction_->setDefaultWidget(picker_);
    }
    if (actions() != QList<QAction*>{pickerAction_}) {
        removeAction(pickerAction_);
        clear();
        addAction(pickerAction_);
    }
    picker_->setSpaces(store_.spaces());
}

}  // namespace folioport::ui
