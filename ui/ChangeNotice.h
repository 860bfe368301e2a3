#pragma once

#include "ui/ErrorBanner.h"

class QPushButton;

namespace folioport::ui {

/// The editor's notice that the page has a newer version on the site than the one being edited: the
/// sentence on the warning card, with "Reload" and "Save anyway" under it. It only asks; the editor acts.
class ChangeNotice : public ErrorBanner {
    Q_OBJECT

public:
    explicit ChangeNotice(QWidget* parent = nullptr);

    /// Its two buttons, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void reloadRequested();
    void saveAnywayRequested();

private:
    QPushButton* reload_;
    QPushButton* saveAnyway_;
};

}  // namespace folioport::ui
