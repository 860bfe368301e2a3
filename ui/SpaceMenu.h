#pragma once

#include <QMenu>

#include <optional>
#include <string>

namespace folioport {
class AppStore;
}

namespace folioport::ui {

/// The one menu of the store's spaces, "KEY · Name" in the store's order (the key again for a space
/// without a name), kept in step with the store. Choosing an entry emits its key; the menu itself
/// changes nothing.
class SpaceMenu : public QMenu {
    Q_OBJECT

public:
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

    AppStore& store_;
    Options options_;
    std::string listedKey_;
};

}  // namespace folioport::ui
