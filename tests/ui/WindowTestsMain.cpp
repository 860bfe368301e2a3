// The search, settings and About views; with FOLIOPORT_HANGING_KEYRING set (a keyring that never
// answers), only the keyring refusal case.
#include <QApplication>
#include <QTest>

#include <cstdlib>

#include "AboutViewTest.h"
#include "SearchViewTest.h"
#include "SettingsViewTest.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (std::getenv("FOLIOPORT_HANGING_KEYRING")) {
        KeyringRefusalTest refusal;
        return QTest::qExec(&refusal, argc, argv);
    }
    SearchViewTest search;
    SettingsViewTest settings;
    AboutViewTest about;
    int failed = 0;
    for (QObject* test : {static_cast<QObject*>(&search), static_cast<QObject*>(&settings), static_cast<QObject*>(&about)})
        failed += QTest::qExec(test, argc, argv);
    return failed;
}
