#pragma once

#include <QWidget>

#include <optional>
#include <string>

#include "confluence/Records.h"

namespace folioport::ui {

/// The title a search hit is shown and opened with: its content's title when present, else its own
/// title when present, else "(untitled)".
std::string displayTitle(const SearchResult& result);

/// The page behind a hit that can be edited (one with a content id whose type is "page" or absent),
/// carrying the display title; absent for blog posts and other content.
std::optional<Page> editablePage(const SearchResult& result);

/// One search hit: title, space badge, relative day and excerpt, with an edit button (pages only)
/// and a browser button. Emits what the user asked for.
class SearchResultRow : public QWidget {
    Q_OBJECT

public:
    explicit SearchResultRow(SearchResult result, QWidget* parent = nullptr);

    const SearchResult& result() const { return result_; }

    /// The row's buttons in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void editRequested(const folioport::Page& page);
    void openRequested(const folioport::SearchResult& result);

private:
    SearchResult result_;
    QList<QWidget*> buttons_;
};

}  // namespace folioport::ui
