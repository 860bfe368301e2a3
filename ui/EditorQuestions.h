#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace folioport::ui {

/// The questions a page editor asks before losing work; each answers true to go ahead. Tests answer
/// them in place of the dialogs.
struct EditorQuestions {
    /// Closing with unsaved title, body or note: "Discard" (true) or "Keep editing".
    std::function<bool(QWidget* window)> discardChanges;
    /// "Move this page to trash?" for the page titled `title`: "Move to trash" (true) or "Cancel".
    std::function<bool(QWidget* window, const QString& title)> moveToTrash;

    /// Both as modal message boxes over `window`; Escape and the close button answer false.
    static EditorQuestions dialogs();
};

}  // namespace folioport::ui
