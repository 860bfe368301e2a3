#include "ui/SiteErrorBanner.h"

#include "state/AppStore.h"
#include "ui/ExpiredTokenHint.h"

namespace folioport::ui {

SiteErrorBanner::SiteErrorBanner(AppStore& store, QWidget* parent)
    : ErrorBanner(parent), tokenHint_(new ExpiredTokenHint(true, this)) {
    addDetail(tokenHint_);
    // why: through the store's URL opener, like every other address the application opens.
    connect(tokenHint_, &ExpiredTokenHint::tokenPageRequested, this, [&store] { store.open(tokenPageURL); });
    connect(tokenHint_, &ExpiredTokenHint::settingsRequested, this, &SiteErrorBanner::settingsRequested);
}

void SiteErrorBanner::setError(const std::optional<ConfluenceError>& error) {
    setVisible(error.has_value());
    setMessage(error ? QString::fromStdString(describe(*error)) : QString());
    tokenHint_->setVisible(error && error->refusesCredentials());
}

QList<QWidget*> SiteErrorBanner::focusChain() const { return tokenHint_->focusChain(); }

}  // namespace folioport::ui
