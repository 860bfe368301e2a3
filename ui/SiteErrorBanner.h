#pragma once

#include <optional>

#include "confluence/ConfluenceError.h"
#include "ui/ErrorBanner.h"

namespace folioport {
class AppStore;
}

namespace folioport::ui {

class ExpiredTokenHint;

/// The banner for a failure of the site, in every window that shows one: under the site's refusal of the
/// e-mail and token (HTTP 401) it adds the expired-token hint, whose link opens the token page through
/// the store and whose "Open Settings" asks for the settings window.
class SiteErrorBanner : public ErrorBanner {
    Q_OBJECT

public:
    explicit SiteErrorBanner(AppStore& store, QWidget* parent = nullptr);

    /// Shows the error's sentence, or hides the banner when there is none.
    void setError(const std::optional<ConfluenceError>& error);
    /// The hint's link and button, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void settingsRequested();

private:
    ExpiredTokenHint* tokenHint_;
};

}  // namespace folioport::ui
