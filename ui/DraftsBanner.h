#pragma once

#include "ui/Banner.h"

class QLabel;
class QPushButton;

namespace folioport {
class AppStore;
}

namespace folioport::ui {

/// The offer to reopen the drafts of unsaved text an earlier run left for the configured site, on a soft band:
/// how many there are and "Reopen". Shows itself only while there are such drafts.
class DraftsBanner : public Banner {
    Q_OBJECT

public:
    explicit DraftsBanner(AppStore& store, QWidget* parent = nullptr);

    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    /// "Reopen": every waiting draft is to open in its editor.
    void reopenRequested();

private:
    void refresh();

    AppStore& store_;
    QLabel* count_;
    QPushButton* reopen_;
};

}  // namespace folioport::ui
