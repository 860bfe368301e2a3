#pragma once

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "confluence/Records.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace folioport {
class AppStore;
}

namespace folioport::ui {

class EmptyHint;
class ProgressButton;
class SearchResultRow;
class SiteErrorBanner;

/// Asks for a page link (or id) over `window`; absent when the user cancels. Tests answer it in place of the dialog.
using AskPageLink = std::function<std::optional<QString>(QWidget* window)>;

/// The dialog that asks for a page link: a window-modal text input.
std::optional<QString> pageLinkDialog(QWidget* window);

/// The search window's content: a query field with its Search button, the "Only in KEY" scope box when
/// a default space is set, the store's error, the hits and their count, "Open a page link…" and "Close".
/// Lives on the main thread; a search still running when the view dies ends without effect.
class SearchView : public QWidget {
    Q_OBJECT

public:
    SearchView(AppStore& store, std::function<void()> onClose, AskPageLink askPageLink = pageLinkDialog,
               QWidget* parent = nullptr);

Q_SIGNALS:
    /// The edit button of a hit, or a page link opened: open the page editor for `page` (id and display title).
    void editPageRequested(const folioport::Page& page);
    /// The expired-token hint's "Open Settings".
    void settingsRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildSearchBar();
    QWidget* buildFooter();
    /// Searches for the trimmed query in the ticked scope; ignored while blank or while a search runs.
    void run();
    /// Asks for a link and opens its page's editor; a link that names no page here shows the store's error.
    void openPageLink();
    void showResults(std::vector<SearchResult> results);
    void refresh();
    void updateTabOrder();

    AppStore& store_;
    std::function<void()> onClose_;
    AskPageLink askPageLink_;
    bool didAppear_ = false;
    bool searching_ = false;
    bool searched_ = false;
    std::vector<SearchResult> results_;

    QLineEdit* query_;
    ProgressButton* searchButton_;
    QCheckBox* scope_;
    SiteErrorBanner* errorBanner_;
    QVBoxLayout* resultsColumn_;
    QList<SearchResultRow*> rows_;
    EmptyHint* hint_;
    QLabel* count_;
    QPushButton* openLinkButton_;
    QPushButton* closeButton_;
};

}  // namespace folioport::ui
