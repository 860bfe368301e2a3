#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include "AboutViewTest.h"
#include "ui/AboutView.h"

using namespace folioport::ui;

void AboutViewTest::showsVersionAndTheWholeChangelogNewestFirst() {
    AboutView view([] {});
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.size(), QSize(420, 440));
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("appNameLabel"))->text(), QStringLiteral("Folioport"));
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(), QStringLiteral("Version 1.0.1 (build 1)"));

    QList<QWidget*> blocks = view.findChildren<QWidget*>(QStringLiteral("releaseBlock"));
    std::ranges::sort(blocks, {}, [](QWidget* block) { return block->y(); });
    QCOMPARE(blocks.size(), 2);
    const QStringList versions{QStringLiteral("v1.0.1"), QStringLiteral("v1.0.0")};
    const QList<int> bullets{1, 6};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(blocks[i]->findChild<QLabel*>(QStringLiteral("releaseVersionLabel"))->text(), versions[i]);
        const auto changes = blocks[i]->findChildren<QLabel*>(QStringLiteral("changeLabel"));
        QCOMPARE(changes.size(), bullets[i]);
        for (QLabel* change : changes) {
            // Wrapped within the width, and tall enough for every line it wraps onto.
            QVERIFY(change->wordWrap());
            QVERIFY(change->geometry().right() < view.width());
            QVERIFY2(change->height() >= change->heightForWidth(change->width()), qPrintable(change->text()));
        }
    }
    // The long first change of 1.0.1 takes more than one line; the desktop words are Linux ones.
    QLabel* first = blocks[0]->findChild<QLabel*>(QStringLiteral("changeLabel"));
    QVERIFY(first->height() > 2 * first->fontMetrics().height());
    for (QLabel* change : view.findChildren<QLabel*>(QStringLiteral("changeLabel")))
        for (const char* word : {"Finder", "Dock", "\u2318", "macOS", "Menu bar"})
            QVERIFY2(!change->text().contains(QString::fromUtf8(word)), qPrintable(change->text()));
}

void AboutViewTest::returnAndEscapeClose() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        int closes = 0;
        AboutView view([&closes] { ++closes; });
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.findChild<QAbstractButton*>(QStringLiteral("doneButton"))->hasFocus());
        QTest::keyClick(&view, key);
        QTRY_COMPARE(closes, 1);
    }
}
