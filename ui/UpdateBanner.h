#pragma once

#include "ui/Banner.h"

class QLabel;
class QPushButton;

namespace folioport {
class Updater;
}

namespace folioport::ui {

class PlainButton;

/// The offer of a newer version on a soft green band: its status or error, "What's new", "Later"
/// (dismisses this version) and "Update & Relaunch".
class UpdateBanner : public Banner {
    Q_OBJECT

public:
    explicit UpdateBanner(Updater& updater, QWidget* parent = nullptr);

    /// True when the updater offers a version other than the one dismissed to a copy that may replace itself.
    static bool isOffered(const Updater& updater);

    /// Redraws from the updater (the panel shows or hides the banner itself).
    void refresh();

    /// Presses "Update & Relaunch" when it is enabled; the panel's answer to Return.
    bool pressDefault();

    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void aboutRequested();

private:
    Updater& updater_;
    QLabel* title_;
    QLabel* detail_;
    PlainButton* whatsNew_;
    PlainButton* later_;
    QPushButton* install_;
};

}  // namespace folioport::ui
