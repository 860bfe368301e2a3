#pragma once

#include <QScrollArea>

#include <vector>

#include "confluence/Records.h"

class QLabel;
class QVBoxLayout;

namespace folioport {
class AppStore;
}

namespace folioport::ui {

class EmptyHint;
class PageRow;
class SiteErrorBanner;

/// The panel's scrolling list: a quiet line when the last timed refresh failed, the store's error (with the
/// expired-token hint under a 401), one row per recent page (kept per page id across refreshes), or a hint
/// while there are none. Row actions go to the store; window requests go out.
class PageList : public QScrollArea {
    Q_OBJECT

public:
    explicit PageList(AppStore& store, QWidget* parent = nullptr);

    /// Redraws from the store.
    void refresh();

    /// The rows in list order.
    const std::vector<PageRow*>& rows() const { return rows_; }
    /// The focusable parts of the error's hint and of every row, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void editRequested(const folioport::Page& page);
    void newChildRequested(const folioport::Page& page);
    void settingsRequested();  ///< the expired-token hint's "Open Settings"

private:
    PageRow* makeRow();

    AppStore& store_;
    QVBoxLayout* column_;
    QLabel* stale_;
    SiteErrorBanner* error_;
    EmptyHint* hint_;
    std::vector<PageRow*> rows_;
};

}  // namespace folioport::ui
