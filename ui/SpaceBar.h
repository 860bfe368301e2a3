#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace folioport {
class AppStore;
}

namespace folioport::ui {

class SpaceMenu;

/// The row under the header: the space menu ("All spaces" and every loaded space, the listed one
/// checked by exact key), the selected space's name and the number of recent pages.
class SpaceBar : public QWidget {
    Q_OBJECT

public:
    explicit SpaceBar(AppStore& store, QWidget* parent = nullptr);

    /// Redraws from the store.
    void refresh();

    QWidget* focusTarget() const;

private:
    AppStore& store_;
    QToolButton* menuButton_;
    SpaceMenu* menu_;
    QLabel* selectedName_;
    QLabel* recentCount_;
};

}  // namespace folioport::ui
