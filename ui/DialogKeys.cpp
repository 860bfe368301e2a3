#include "ui/DialogKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace folioport::ui {

bool handleDialogKey(const QKeyEvent& event, QAbstractButton* defaultButton, const std::function<void()>& cancel) {
    // why: Enter on the keypad carries the keypad modifier and still counts as a plain key.
    if ((event.modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) != Qt::NoModifier) return false;
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) {
        if (!defaultButton || !defaultButton->isEnabled() || !defaultButton->isVisible()) return false;
        defaultButton->animateClick();
        return true;
    }
    if (event.key() == Qt::Key_Escape && cancel) {
        cancel();
        return true;
    }
    return false;
}

}  // namespace folioport::ui
