#pragma once

#include <functional>

class QAbstractButton;
class QFrame;
class QKeyEvent;
class QWidget;

namespace folioport::ui {

/// The keys of a dialog for a window's content view: Return or Enter that no focused control took
/// presses `defaultButton` when it is enabled; Escape runs `cancel` when given. True when the key was used.
bool handleDialogKey(const QKeyEvent& event, QAbstractButton* defaultButton, const std::function<void()>& cancel);

/// A thin horizontal rule between the sections of a window, in the style's own sunken line.
QFrame* horizontalDivider(QWidget* parent);

}  // namespace folioport::ui
