#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "confluence/Records.h"
#include "ui/SpaceListModel.h"

class QLabel;
class QLineEdit;
class QListView;

namespace folioport::ui {

/// A filter field over a list of spaces, for lists too long for a menu, keyboard-first: typing narrows the
/// list by key or name, Up, Down, Page Up and Page Down move the highlight, Return or a click picks it. Escape
/// is left to the menu that holds the picker.
class SpacePicker : public QWidget {
    Q_OBJECT

public:
    SpacePicker(const QString& accessibleName, SpaceListModel::Options options, QWidget* parent = nullptr);

    void setSpaces(const std::vector<Space>& spaces);
    /// The key whose entry carries the checkmark and is highlighted when the picker opens.
    void setListedKey(const std::string& key);
    /// Clears the filter, highlights the listed entry (or the first) and gives the field the focus.
    void prepare();

Q_SIGNALS:
    void picked(const std::string& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);
    /// The list, or in its place the sentence that nothing matches.
    void showMatches();
    void highlight(int row);
    void pickHighlighted();

    SpaceListModel* model_;
    QLineEdit* filter_;
    QListView* list_;
    QLabel* noMatch_;
    std::string listedKey_;
};

}  // namespace folioport::ui
