#pragma once

#include <QWidget>

#include "confluence/StoredSettings.h"

class QLabel;
class QPushButton;

namespace folioport::ui {

/// What the tray panel shows instead of the page list while the desktop keyring cannot give the stored
/// token: why, in words (locked, not running, not answering), that Folioport goes on by itself once the
/// keyring can be read, and what can be done meanwhile: "Unlock" where the keyring prompts for its
/// password, "Try Again" where no event would tell that it is back.
class KeyringWaitPanel : public QWidget {
    Q_OBJECT

public:
    explicit KeyringWaitPanel(QWidget* parent = nullptr);

    void setReason(StoredSettings::TokenUnreadable reason);
    /// The visible buttons, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void unlockRequested();
    void retryRequested();
    void settingsRequested();

private:
    QLabel* explanation_;
    QPushButton* unlock_;
    QPushButton* retry_;
    QPushButton* openSettings_;
};

}  // namespace folioport::ui
