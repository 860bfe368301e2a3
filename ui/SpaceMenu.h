#pragma once

#include <QMenu>

#include <optional>
#include <string>

class QWidgetAction;

namespace folioport {
class AppStore;
}

namespace folioport::ui {

class SpacePicker;

/// The one menu of the store's spaces, kept in step with the store: up to shortListLimit spaces as menu
/// entries, "KEY · Name" in the store's order (the key again for a space without a name); beyond that one
/// SpacePicker, whose filter field has the focus when the menu opens. Choosing an entry emits its key and
/// closes the menu; the menu itself changes nothing.
class SpaceMenu : public QMenu {
    Q_OBJECT

public:
    static constexpr std::size_t shortListLimit = 20;

    struct Options {
        QString accessibleName;
        bool offersAllSpaces = false;  ///< "All spaces" (the empty key) first, then a divider when spaces exist
        bool marksListed = false;      ///< the entry whose key equals the listed key exactly carries a checkmark
    };

    SpaceMenu(AppStore& store, Options options, QWidget* parent);

    /// The key whose entry carries the checkmark (empty: "All spaces"); only with `marksListed`.
    void setListedKey(const std::string& key);

Q_SIGNALS:
    void picked(const std::string& key);

private:
    void rebuild();
    void rebuildShortList();
    void showPicker();

    AppStore& store_;
    Options options_;
    std::string listedKey_;
    QWidgetAction* pickerAction_ = nullptr;  // made on first need; owns the picker
    SpacePicker* picker_ = nullptr;
};

}  // namespace folioport::ui
