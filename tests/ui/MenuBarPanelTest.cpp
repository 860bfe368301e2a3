#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>

#include "FakeConfluence.h"
#include "state/AppStore.h"
#include "ui/ElidedLabel.h"
#include "ui/MenuBarPanel.h"
#include "ui/PageRow.h"
#include "ui/Spinner.h"
#include "ui/Symbols.h"
#include "updater/Updater.h"
#include "NamedChild.h"

using namespace std::chrono_literals;
using nlohmann::json;

using namespace folioport;
using namespace folioport::ui;

namespace {

constexpr const char* feedPath = "/folioport/appcast.json";
constexpr const char* pagesPath = "/wiki/api/v2/pages";

std::string feedOffering(const std::string& version) {
    return R"({"version":")" + version + R"(","url":"https://updates.example.invalid/Folioport.zip"})";
}

}  // namespace

/// The panel on a real store and updater, against the fake site, one fresh site and panel per test.
class MenuBarPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void notConfiguredPanelShowsOnlySettingsAndNeverLoads();
    void loadingShowsProgressAndErrorsStayUntilASuccess();
    void spaceMenuCaptionIgnoresCaseButCheckmarkIsExact();
    void rowsShowVersionDateAndBadgeAsTheRecordAllows();
    void rowActionsReachTheStoreAndTheScene();
    void busyRowsSwapTheirButtonsForProgress();
    void updateBannerHidesAfterLaterAndReturnsForANewerVersion();
    void panelStaysResponsiveWhileTheSiteIsSlow();
    void keyboardReachesEveryControlAndScreenReadersCanNameIt();

private:
    /// Builds store, updater and panel; `configured` gives the store the fake site's account.
    void open(bool configured);
    template <class T = QWidget>
    T* find(const char* name) const {
        return folioport::testing::namedChild<T>(*panel, name);
    }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    bool shows(const char* name) const { return find(name)->isVisible(); }
    QList<PageRow*> rows() const;
    PageRow* row(const char* title) const;
    void servePages(const json& results);
    void clickButton(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<fake::FakeConfluence> site;
    std::unique_ptr<AppStore> store;
    std::unique_ptr<Updater> updater;
    std::unique_ptr<MenuBarPanel> panel;
    std::vector<std::string> copied;
};

void MenuBarPanelTest::init() {
    dir = std::make_unique<QTemporaryDir>();
    auto started = fake::FakeConfluence::start(fake::SiteData::minimal());
    QVERIFY2(started, started ? "" : started.error().c_str());
    site = std::move(*started);
    copied.clear();
}

void MenuBarPanelTest::cleanup() {
    panel.reset();
    updater.reset();
    store.reset();
    site.reset();
    dir.reset();
}

void MenuBarPanelTest::open(bool configured) {
    const std::string file = dir->filePath(QStringLiteral("preferences.json")).toStdString();
    json stored = {{"refreshMinutes", 0}};
    if (configured) stored.update({{"baseURL", site->baseURL()}, {"email", "mia@example.com"}});
    std::ofstream(file) << stored.dump();
    store = std::make_unique<AppStore>(AppStoreOptions{
        .preferencesFile = file,
        .minute = 1min,
        .copyText = [this](const std::string& copiedText) { copied.push_back(copiedText); },
        .openURL = [](const QUrl&) {}});
    if (configured) store->setApiToken("test-token");
    // A copy outside any bundle: installing fails at once and touches nothing.
    updater = std::make_unique<Updater>(UpdaterOptions{.runningVersion = [] { return std::string("1.0"); },
                                                       .installedBundle = [] { return std::nullopt; }});
    panel = std::make_unique<MenuBarPanel>(*store, *updater);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
}

QList<PageRow*> MenuBarPanelTest::rows() const {
    QList<PageRow*> visible;
    for (PageRow* row : panel->findChildren<PageRow*>())
        if (row->isVisible()) visible << row;
    std::ranges::sort(visible, {}, [](PageRow* row) { return row->y(); });
    return visible;
}

PageRow* MenuBarPanelTest::row(const char* title) const {
    for (PageRow* candidate : rows())
        if (candidate->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))->text() == QLatin1String(title))
            return candidate;
    return nullptr;
}

void MenuBarPanelTest::servePages(const json& results) {
    site->serve(pagesPath, {200, json{{"results", results}, {"_links", json::object()}}.dump(), "application/json"});
}

void MenuBarPanelTest::notConfiguredPanelShowsOnlySettingsAndNeverLoads() {
    open(false);
    QSignalSpy cameOnScreen(panel.get(), &MenuBarPanel::cameOnScreen);
    QSignalSpy settings(panel.get(), &MenuBarPanel::settingsRequested);
    QTRY_VERIFY(shows("notConfiguredPanel"));
    for (const char* hidden : {"newPageButton", "searchButton", "refreshButton", "spaceBar", "pageList",
                               "spaceCountLabel", "userNameLabel", "updateBanner"})
        QVERIFY2(!shows(hidden), hidden);
    QVERIFY(shows("settingsButton"));
    QVERIFY(shows("quitButton"));
    QCOMPARE(find<QAbstractButton>("versionButton")->text().front(), QLatin1Char('v'));

    clickButton("openSettingsButton");
    clickButton("settingsButton");
    QCOMPARE(settings.count(), 2);

    // Completing the settings later does not load through the panel, nor does showing it again.
    store->setBaseURL(site->baseURL());
    store->setEmail("mia@example.com");
    store->setApiToken("test-token");
    QTRY_VERIFY(shows("pageList"));
    panel->hide();
    panel->show();
    QTRY_COMPARE(cameOnScreen.count(), 1);
    QTest::qWait(200);
    QVERIFY(site->requests().empty());
    QVERIFY(!shows("notConfiguredPanel"));
    QCOMPARE(text("emptyHint"), QStringLiteral("No pages here yet. Use + to write one."));
}

void MenuBarPanelTest::loadingShowsProgressAndErrorsStayUntilASuccess() {
    site->setLatency(300ms);
    open(true);
    auto* refresh = find<QAbstractButton>("refreshButton");
    auto* spinner = find<Spinner>("refreshSpinner");
    QTRY_VERIFY(!refresh->isEnabled());
    QVERIFY(spinner->isVisible() && spinner->isAnimating());
    QCOMPARE(text("emptyHint"), QStringLiteral("Loading\u2026"));
    QVERIFY(shows("emptyHint"));

    QTRY_COMPARE(rows().size(), 4);
    QVERIFY(refresh->isEnabled());
    QVERIFY(!spinner->isAnimating());
    QVERIFY(!shows("emptyHint"));
    QCOMPARE(text("userNameLabel"), QStringLiteral("Mia Krystof"));
    QCOMPARE(text("recentCountLabel"), QStringLiteral("4 recent"));

    // A failed load keeps the rows and shows the error above them ...
    site->inject({.kind = fake::Fault::Kind::status, .status = 500, .pathPrefix = pagesPath});
    QTest::mouseClick(refresh, Qt::LeftButton);
    QTRY_VERIFY(shows("errorBanner") && refresh->isEnabled());
    const QString error = text("errorMessageLabel");
    QVERIFY(!error.isEmpty());
    QCOMPARE(rows().size(), 4);
    // ... through the next load, until that one succeeds.
    QTest::mouseClick(refresh, Qt::LeftButton);
    QTRY_VERIFY(!refresh->isEnabled());
    QVERIFY(shows("errorBanner"));
    QCOMPARE(text("errorMessageLabel"), error);
    QTRY_VERIFY(refresh->isEnabled());
    QVERIFY(!shows("errorBanner"));

    // A space without pages ends in the empty hint, not in "Loading…".
    site->withData([](fake::SiteData& data) { data.spaces.push_back({"65539", "EMPTY", "Nothing yet"}); });
    store->selectSpace("EMPTY");
    QTRY_VERIFY(rows().isEmpty() && refresh->isEnabled());
    QCOMPARE(text("emptyHint"), QStringLiteral("No pages here yet. Use + to write one."));
    QCOMPARE(text("recentCountLabel"), QStringLiteral("0 recent"));
}

void MenuBarPanelTest::spaceMenuCaptionIgnoresCaseButCheckmarkIsExact() {
    open(true);
    QTRY_COMPARE(rows().size(), 4);
    auto* menuButton = find<QAbstractButton>("spaceMenuButton");
    auto* menu = find<QMenu>("spaceMenu");
    const QImage checkmark = symbolIcon(Symbol::checkmark).pixmap(16).toImage();
    auto checkedItems = [&] {
        QStringList checked;
        for (QAction* action : menu->actions())
            if (action->icon().pixmap(16).toImage() == checkmark) checked << action->text();
        return checked;
    };
    QCOMPARE(menuButton->text(), QStringLiteral("All spaces"));
    QVERIFY(!shows("selectedSpaceLabel"));
    QStringList items;
    for (QAction* action : menu->actions()) items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(items, (QStringList{"All spaces", "-", "ENG \u00b7 Engineering", "OPS \u00b7 Operations"}));
    QCOMPARE(checkedItems(), QStringList{"All spaces"});
    QCOMPARE(text("spaceCountLabel"), QStringLiteral("\u00b7 2 spaces"));

    store->setSpaceKey("eng");
    QTRY_COMPARE(menuButton->text(), QStringLiteral("eng"));
    QCOMPARE(text("selectedSpaceLabel"), QStringLiteral("Engineering"));
    QVERIFY(checkedItems().isEmpty());

    menu->actions().at(3)->trigger();
    QTRY_COMPARE(menuButton->text(), QStringLiteral("OPS"));
    QCOMPARE(store->spaceKey(), "OPS");
    QTRY_COMPARE(rows().size(), 1);
    QCOMPARE(checkedItems(), QStringList{"OPS \u00b7 Operations"});
    QCOMPARE(text("selectedSpaceLabel"), QStringLiteral("Operations"));

    // The footer counts in the singular for one space and hides without any.
    site->withData([](fake::SiteData& data) { data.spaces.resize(1); });
    store->load(false);
    QTRY_COMPARE(text("spaceCountLabel"), QStringLiteral("\u00b7 1 space"));
    site->withData([](fake::SiteData& data) { data.spaces.clear(); });
    store->load(false);
    QTRY_VERIFY(!shows("spaceCountLabel"));
    QCOMPARE(menu->actions().size(), 1);
}

void MenuBarPanelTest::rowsShowVersionDateAndBadgeAsTheRecordAllows() {
    const std::string longTitle(30, 'x');
    servePages(json::array({
        {{"id", "1"}, {"title", "Numbered"}, {"spaceId", "65537"},
         {"version", {{"number", 7}, {"createdAt", "2026-11-20T10:00:00.000Z"}}}},
        {{"id", "2"}, {"title", "No version"}, {"spaceId", "99999"}},
        {{"id", "3"}, {"title", "Version without number"}, {"version", {{"createdAt", "last Tuesday"}}}},
        {{"id", "4"}, {"title", ""}, {"spaceId", "65538"}, {"version", {{"number", 2}}}},
        {{"id", "5"}, {"title", std::string(60, 'w') + " " + std::string(200, 'z')}},
    }));
    open(true);
    QTRY_COMPARE(rows().size(), 5);
    struct Expected {
        const char* title;
        const char* version;
        const char* badge;  // nullptr: none
        const char* datePrefix;  // nullptr: no date line
    };
    const Expected expected[] = {
        {"Numbered", "v7", "ENG", "Updated 20 November 2026 \u00b7 "},
        {"No version", "v1", nullptr, nullptr},
        {"Version without number", "v1", nullptr, nullptr},
        {"(untitled)", "v2", "OPS", nullptr},
    };
    for (const Expected& want : expected) {
        PageRow* shown = row(want.title);
        QVERIFY2(shown, want.title);
        auto* badge = shown->findChild<QLabel*>(QStringLiteral("spaceKeyBadge"));
        QCOMPARE(shown->findChild<QLabel*>(QStringLiteral("versionLabel"))->text(), QLatin1String(want.version));
        QCOMPARE(badge->isVisible(), want.badge != nullptr);
        if (want.badge) QCOMPARE(badge->text(), QLatin1String(want.badge));
        QCOMPARE(shown->findChild<QWidget*>(QStringLiteral("dateLine"))->isVisible(), want.datePrefix != nullptr);
        if (want.datePrefix) {
            const QString date = shown->findChild<QLabel*>(QStringLiteral("dateLabel"))->text();
            QVERIFY2(date.startsWith(QString::fromUtf8(want.datePrefix)) && date.endsWith(QLatin1String("days ago")),
                     qPrintable(date));
        }
    }
    const QStringList lines = rows().last()->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))->visibleLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.last().endsWith(QChar(0x2026)));
}

void MenuBarPanelTest::rowActionsReachTheStoreAndTheScene() {
    open(true);
    QTRY_COMPARE(rows().size(), 4);
    PageRow* roadmap = row("Roadmap for Q3");
    QVERIFY(roadmap);
    QSignalSpy edits(panel.get(), &MenuBarPanel::editPageRequested);
    QSignalSpy children(panel.get(), &MenuBarPanel::newChildPageRequested);

    QTest::mouseClick(roadmap->findChild<QAbstractButton*>(QStringLiteral("infoButton")), Qt::LeftButton);
    QCOMPARE(copied, (std::vector<std::string>{"Roadmap for Q3 \u2014 " + site->baseURL() +
                                               "/wiki/spaces/ENG/pages/98306/Roadmap+for+Q3"}));
    QVERIFY(roadmap->showsCopied());
    QVERIFY(roadmap->findChild<QWidget*>(QStringLiteral("copiedLabel"))->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!roadmap->showsCopied(), 3000);

    auto* edit = roadmap->findChild<QAbstractButton*>(QStringLiteral("editButton"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(edits.count(), 1);

    QMap<QString, QAction*> actions;
    auto* menu = roadmap->findChild<QMenu*>(QStringLiteral("actionsMenu"));
    for (QAction* action : menu->actions()) actions[action->text()] = action;
    QVERIFY(actions.contains(QStringLiteral("Open in browser")));
    actions[QStringLiteral("Edit page")]->trigger();
    actions[QStringLiteral("New child page")]->trigger();
    actions[QStringLiteral("Copy title")]->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Roadmap for Q3"));
    actions[QStringLiteral("Copy title + link")]->trigger();
    QCOMPARE(copied.size(), 2u);
    QCOMPARE(edits.count(), 2);
    QCOMPARE(children.count(), 1);
    QCOMPARE(qvariant_cast<Page>(children.first().first()).id, "98306");

    QMenu* trash = actions[QStringLiteral("Move to trash\u2026")]->menu();
    QVERIFY(trash);
    QCOMPARE(trash->actions().size(), 1);
    QCOMPARE(trash->actions().first()->text(), QStringLiteral("Yes, move \u201cRoadmap for Q3\u201d to trash"));
    site->setLatency(300ms);
    trash->actions().first()->trigger();
    QTRY_VERIFY(roadmap->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());
    QTRY_COMPARE(rows().size(), 3);
    QVERIFY(!row("Roadmap for Q3"));
}

void MenuBarPanelTest::busyRowsSwapTheirButtonsForProgress() {
    open(true);
    QTRY_COMPARE(rows().size(), 4);
    PageRow* home = row("Engineering Home");
    auto child = [&](const char* name) { return home->findChild<QWidget*>(QString::fromLatin1(name)); };
    store->insertBusyPageId("98305");
    QTRY_VERIFY(child("busySpinner")->isVisible());
    QVERIFY(home->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());
    QVERIFY(!child("editButton")->isVisible() && !child("actionsButton")->isVisible());
    QVERIFY(row("Roadmap for Q3")->findChild<QWidget*>(QStringLiteral("editButton"))->isVisible());
    // A closed panel costs no timer, even with a busy row; it spins again when shown.
    panel->hide();
    QVERIFY(!home->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());
    panel->show();
    QVERIFY(home->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());

    store->removeBusyPageId("98305");
    QTRY_VERIFY(child("editButton")->isVisible());
    QVERIFY(child("actionsButton")->isVisible());
    QVERIFY(!child("busySpinner")->isVisible());
    QVERIFY(!home->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());
}

void MenuBarPanelTest::updateBannerHidesAfterLaterAndReturnsForANewerVersion() {
    open(true);
    QSignalSpy about(panel.get(), &MenuBarPanel::aboutRequested);
    const std::string feed = site->baseURL() + feedPath;
    QVERIFY(!shows("updateBanner"));

    site->serve(feedPath, {200, feedOffering("2.0"), "application/json"});
    site->setLatency(300ms);
    updater->check(feed, true);
    QTRY_VERIFY(shows("updateBanner") || !updater->isChecking());
    QTRY_VERIFY(shows("updateBanner"));
    QCOMPARE(text("updateTitleLabel"), QStringLiteral("Version 2.0 is available"));
    QVERIFY(find<QAbstractButton>("installButton")->isEnabled());

    clickButton("whatsNewButton");
    QCOMPARE(about.count(), 1);
    clickButton("laterButton");
    QTRY_VERIFY(!shows("updateBanner"));

    updater->check(feed, true);  // the same version stays dismissed
    QTRY_VERIFY(!updater->isChecking());
    QTest::qWait(50);
    QVERIFY(!shows("updateBanner"));

    site->serve(feedPath, {200, feedOffering("2.1"), "application/json"});
    updater->check(feed, true);
    QTRY_VERIFY(shows("updateBanner"));
    QCOMPARE(text("updateTitleLabel"), QStringLiteral("Version 2.1 is available"));
    QVERIFY(!shows("updateDetailLabel"));

    // Return answers the default button; the failure shows under the title until a check reports progress.
    QTest::keyClick(panel.get(), Qt::Key_Return);
    QTRY_VERIFY(shows("updateDetailLabel"));
    QCOMPARE(text("updateDetailLabel").toStdString(), updater->errorMessage().value_or("?"));
    updater->check(feed, true);
    QTRY_VERIFY(!find<QAbstractButton>("installButton")->isEnabled());
    QCOMPARE(text("updateDetailLabel").toStdString(), updater->status().value_or("?"));
    QTRY_VERIFY(find<QAbstractButton>("installButton")->isEnabled());
}

void MenuBarPanelTest::panelStaysResponsiveWhileTheSiteIsSlow() {
    site->setLatency(3s);
    QElapsedTimer opening;
    opening.start();
    open(true);
    QTRY_VERIFY(shows("emptyHint") && text("emptyHint") == QStringLiteral("Loading\u2026"));
    QVERIFY(find<Spinner>("refreshSpinner")->isAnimating());
    QVERIFY2(opening.elapsed() < 1000, "the panel waited for the site");

    // The event loop keeps turning: buttons answer and timers fire on time while the load is out.
    QSignalSpy search(panel.get(), &MenuBarPanel::searchRequested);
    QElapsedTimer turn;
    for (int i = 0; i < 10; ++i) {
        turn.start();
        clickButton("searchButton");
        QTest::qWait(20);
        QVERIFY2(turn.elapsed() < 200, "a click took too long to answer");
    }
    QCOMPARE(search.count(), 10);
    QVERIFY(store->isLoading());
    QVERIFY(find<Spinner>("refreshSpinner")->isAnimating());
}

void MenuBarPanelTest::keyboardReachesEveryControlAndScreenReadersCanNameIt() {
    open(true);
    QTRY_COMPARE(rows().size(), 4);
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));

    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(button->objectName()));
        QVERIFY(accessible->role() == QAccessible::Button || accessible->role() == QAccessible::ButtonMenu);
    }
    for (PageRow* shown : rows()) QVERIFY(!QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name).isEmpty());
    for (QMenu* menu : panel->findChildren<QMenu*>())
        QVERIFY2(!QAccessible::queryAccessibleInterface(menu)->text(QAccessible::Name).isEmpty(),
                 qPrintable(menu->objectName()));

    // Tab walks the panel top to bottom: header, space menu, each row's three controls, footer.
    QStringList expected = {"newPageButton", "searchButton", "refreshButton", "settingsButton", "spaceMenuButton"};
    for (int i = 0; i < 4; ++i) expected << "infoButton" << "editButton" << "actionsButton";
    expected << "versionButton" << "quitButton" << "newPageButton";
    find("newPageButton")->setFocus();
    QStringList walked = {QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walked, expected);

    // Space and Return press the focused row's info block: its link is copied.
    QWidget* info = rows().first()->findChild<QWidget*>(QStringLiteral("infoButton"));
    info->setFocus();
    QTest::keyClick(info, Qt::Key_Return);
    QTest::keyClick(info, Qt::Key_Space);
    QTRY_COMPARE(copied.size(), 2u);
}

QTEST_MAIN(MenuBarPanelTest)
#include "MenuBarPanelTest.moc"
