#pragma once

#include <QWidget>

class QPushButton;

namespace folioport::ui {

class PlainButton;

/// The account page where API tokens are made; the settings window's link and the hint below open it.
inline constexpr const char* tokenPageURL = "https://id.atlassian.com/manage-profile/security/api-tokens";

/// The "Create an API token ↗" link, drawn as a link; it opens nothing itself (see tokenPageURL).
PlainButton* tokenPageLink(const QString& objectName, QWidget* parent);

/// The second line under a refused login (HTTP 401): tokens expire, with the token page link and, in the
/// panel, an "Open Settings" button.
class ExpiredTokenHint : public QWidget {
    Q_OBJECT

public:
    ExpiredTokenHint(bool offersSettings, QWidget* parent = nullptr);

    /// The link, then "Open Settings" when offered, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void tokenPageRequested();
    void settingsRequested();

private:
    PlainButton* link_;
    QPushButton* openSettings_ = nullptr;
};

}  // namespace folioport::ui
