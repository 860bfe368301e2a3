// Renders the search, settings, About and page editor views in their main states to PNG files in the folder
// given as the only argument, at the scale of QT_SCALE_FACTOR. Run offscreen inside with-keyring.sh.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

#include "WindowFixture.h"
#include "app/AppIcons.h"
#include "ui/AboutView.h"
#include "ui/ErrorBanner.h"
#include "ui/PageEditorView.h"
#include "ui/SearchView.h"
#include "ui/SettingsView.h"
#include "NamedChild.h"

using namespace folioport;

namespace {

QString folder;

void shoot(QWidget& view, const char* name) {
    QTest::qWait(150);
    const QString file = QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!view.grab().save(file)) std::fprintf(stderr, "could not write %s\n", qPrintable(file));
}

template <class T = QWidget>
T* child(QWidget& view, const char* name) {
    return folioport::testing::namedChild<T>(view, name);
}

void searchShots() {
    testing::WindowFixture fixture;
    if (!fixture.start({{"spaceKey", "ENG"}})) qFatal("the fake site did not start");
    ui::SearchView view(*fixture.store, [] {});
    view.resize(560, 560);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) qFatal("the view was not shown");
    shoot(view, "search-empty");
    QTest::keyClicks(child<QLineEdit>(view, "queryField"), QStringLiteral("e"));
    child<QAbstractButton>(view, "scopeCheckBox")->click();
    QTest::keyClick(child<QLineEdit>(view, "queryField"), Qt::Key_Return);
    QTest::qWait(600);
    shoot(view, "search-results");
    fixture.site->inject({.kind = fake::Fault::Kind::status, .status = 500});
    QTest::keyClick(child<QLineEdit>(view, "queryField"), Qt::Key_Return);
    QTest::qWait(600);
    shoot(view, "search-error");
}

void settingsShots() {
    testing::WindowFixture fixture;
    if (!fixture.start({{"spaceKey", "ENG"}})) qFatal("the fake site did not start");
    fixture.store->load(false);
    QTest::qWait(600);
    ui::SettingsView view(*fixture.store, *fixture.updater, [] {}, QStringLiteral("/opt/Folioport.app/Contents/bin/Folioport"));
    view.resize(420, 620);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) qFatal("the view was not shown");
    child<QAbstractButton>(view, "testButton")->click();
    QTest::qWait(600);
    shoot(view, "settings-top");
    child<QAbstractButton>(view, "mcpDisclosure")->click();
    child<QAbstractButton>(view, "copyJsonButton")->click();
    QTest::qWait(100);
    auto* scroll = child<QScrollArea>(view, "settingsArea");
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    shoot(view, "settings-mcp");
    auto* banner = child<ui::ErrorBanner>(view, "saveErrorBanner");
    banner->setMessage(QStringLiteral("The desktop keyring did not store the API token (it may be locked or missing), "
                                      "so the settings are not saved; unlock it and press Done again."));
    banner->show();
    scroll->verticalScrollBar()->setValue(0);
    shoot(view, "settings-keyring-refused");
}

void aboutShots() {
    ui::AboutView view([] {});
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) qFatal("the view was not shown");
    shoot(view, "about");
}

void editorShots() {
    testing::WindowFixture fixture;
    if (!fixture.start({{"spaceKey", "ENG"}})) qFatal("the fake site did not start");
    fixture.store->load(false);
    QTest::qWait(600);
    auto open = [&](EditorMode mode) {
        auto view = std::make_unique<ui::PageEditorView>(*fixture.store, std::move(mode), [] {},
                                                         [](const std::string&, const QString&) {});
        view->resize(620, 640);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get())) qFatal("the view was not shown");
        return view;
    };
    auto created = open(CreatePage{"ENG", "98305"});
    shoot(*created, "editor-new-empty");
    child<QLineEdit>(*created, "titleField")->setText(QStringLiteral("Launch plan"));
    child<QPlainTextEdit>(*created, "bodyEditor")
        ->setPlainText(QStringLiteral("# Plan\n\nWhat ships first:\n\n- search\n- sync"));
    shoot(*created, "editor-new-filled");
    fixture.site->setLatency(std::chrono::milliseconds(2000));
    child<QAbstractButton>(*created, "saveButton")->click();
    shoot(*created, "editor-saving");
    auto loading = open(EditPage{"98306"});
    shoot(*loading, "editor-loading");
    fixture.site->setLatency(std::chrono::milliseconds(0));
    QTest::qWait(2500);
    shoot(*loading, "editor-page");
    child<QAbstractButton>(*loading, "saveButton")->click();
    QTest::qWait(600);
    shoot(*loading, "editor-saved");

    auto missing = open(EditPage{"99999"});
    QTest::qWait(600);
    shoot(*missing, "editor-load-failed");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    searchShots();
    settingsShots();
    aboutShots();
    editorShots();
    return 0;
}
