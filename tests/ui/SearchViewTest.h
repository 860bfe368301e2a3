#pragma once

#include <QObject>

/// The search window's view on a real store against the fake site.
class SearchViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scopeStartsTickedAndReRunsAFinishedSearch();
    void withoutDefaultSpaceThereIsNoScopeAndKeysWork();
    void rowsOfferEditOnlyForPagesWithAnId();
};
