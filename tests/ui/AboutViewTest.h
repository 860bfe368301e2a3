#pragma once

#include <QObject>

/// The About window's view.
class AboutViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsVersionAndTheWholeChangelogNewestFirst();
    void returnAndEscapeClose();
};
