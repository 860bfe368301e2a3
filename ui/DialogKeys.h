#pragma once

#include <functional>

class QAbstractButton;
class QKeyEvent;
class QWidget;

namespace folioport::ui {

/// The keys of a dialog for a window's content view: Return or Enter that no focused control took
/// presses `defaultButton` when it is enabled; Escape runs `cancel` when given. True when the key was used.
bool handleDialogKey(const QKeyEvent& event, QAbstractButton* defaultButton, const std::function<void()>& cancel);

}  // namespace folioport::ui
