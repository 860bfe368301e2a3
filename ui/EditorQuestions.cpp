#include "ui/EditorQuestions.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace folioport::ui {

namespace {

/// A window-modal question whose safe answer is the default and the Escape key.
bool ask(QWidget* window, const QString& question, const QString& detail, const QString& go,
         QMessageBox::ButtonRole goRole, const QString& stay) {
    // why: a Linux message box shows its window title in the frame only; the question is its main text.
    QMessageBox box(QMessageBox::Warning, question, question, QMessageBox::NoButton, window);
    box.setInformativeText(detail);
    // why: the box sizes itself by its short question and would wrap the detail every three words.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 40);
        label->setTextFormat(Qt::PlainText);  // why: the detail quotes a page title, which is no markup
    }
    box.setWindowModality(Qt::WindowModal);
    QPushButton* goButton = box.addButton(go, goRole);
    QPushButton* stayButton = box.addButton(stay, QMessageBox::RejectRole);
    goButton->setObjectName(QStringLiteral("goButton"));
    stayButton->setObjectName(QStringLiteral("stayButton"));
    box.setDefaultButton(stayButton);
    box.setEscapeButton(stayButton);
    box.exec();
    return box.clickedButton() == goButton;
}

}  // namespace

EditorQuestions EditorQuestions::dialogs() {
    return {.discardChanges =
                [](QWidget* window) {
                    return ask(window, QObject::tr("Discard your changes?"),
                               QObject::tr("The title, body or version note has changes that are not saved."),
                               QObject::tr("Discard"), QMessageBox::DestructiveRole, QObject::tr("Keep editing"));
                },
            .moveToTrash =
                [](QWidget* window, const QString& title) {
                    return ask(window, QObject::tr("Move this page to trash?"),
                               QObject::tr("“%1” goes to the space's trash, where Confluence keeps it until the "
                                           "trash is emptied.")
                                   .arg(title),
                               QObject::tr("Move to trash"), QMessageBox::DestructiveRole, QObject::tr("Cancel"));
                }};
}

}  // namespace folioport::ui
