#include <QAbstractButton>
#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include <functional>
#include <memory>

#include "KeyboardWalk.h"
#include "KeyringControl.h"
#include "MovableClock.h"
#include "NamedChild.h"
#include "WindowFixture.h"
#include "platform/Keychain.h"
#include "ui/ElidedLabel.h"
#include "ui/ExpiredTokenHint.h"
#include "ui/MenuBarPanel.h"
#include "ui/PageRow.h"
#include "ui/Spinner.h"
#include "ui/Symbols.h"

using namespace std::chrono_literals;
using nlohmann::json;

using namespace folioport;
using namespace folioport::ui;

namespace {

constexpr const char* feedPath = "/folioport/appcast.json";
constexpr const char* pagesPath = "/wiki/api/v2/pages";
constexpr const char* noPagesHint = "No pages here yet. Use + to write one.";

std::string feedOffering(const std::string& version) {
    return R"({"version":")" + version + R"(","url":"https://updates.example.invalid/Folioport.zip"})";
}

}  // namespace

class MenuBarPanelTest;
/// A named row of a table test: what it does to the panel, and what it checks.
using LoadRow = std::function<void(MenuBarPanelTest&)>;
Q_DECLARE_METATYPE(LoadRow)

/// The panel on a real store and updater, against the fake site, one fresh site and panel per test.
class MenuBarPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void notConfiguredPanelShowsOnlySettingsAndNeverLoads();
    void loadingShowsProgressAndErrorsStayUntilASuccess_data();
    void loadingShowsProgressAndErrorsStayUntilASuccess();
    void aFailedTimedRefreshKeepsTheRowsUnderAQuietLine();
    void spaceMenuMarksExactlyAndLongListsBecomeAPicker();
    void rowsShowVersionDateAndBadgeAsTheRecordAllows();
    void rowActionsReachTheStoreAndTheScene();
    void busyRowsSwapTheirButtonsForProgress();
    void updateBannerHidesAfterLaterAndReturnsForANewerVersion();
    void panelStaysResponsiveWhileTheSiteIsSlow();
    void keyboardReachesEveryControlAndScreenReadersCanNameIt();

private:
    /// Shows the panel on the store as it is now; a complete account makes it load.
    void open();
    /// Opens the panel and waits for its first load; answers the refresh button.
    QAbstractButton* loaded();
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

    std::unique_ptr<testing::WindowFixture> fixture;
    fake::FakeConfluence* site = nullptr;
    AppStore* store = nullptr;
    Updater* updater = nullptr;
    std::unique_ptr<MenuBarPanel> panel;
};

void MenuBarPanelTest::init() {
    fixture = std::make_unique<testing::WindowFixture>();
    QVERIFY(fixture->start());
    site = fixture->site.get();
    store = fixture->store.get();
    updater = fixture->updater.get();
}

void MenuBarPanelTest::cleanup() {
    panel.reset();
    fixture.reset();
}

void MenuBarPanelTest::open() {
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
    // While a store still reads its settings (a locked keyring may take seconds), the panel says so and
    // starts nothing.
    {
        AppStore reading({.preferencesFile = fixture->preferencesFile});
        MenuBarPanel waiting(reading, *updater);
        QSignalSpy shown(&waiting, &MenuBarPanel::cameOnScreen);
        waiting.show();
        auto* label = folioport::testing::namedChild<QLabel>(waiting, "readingSettingsLabel");
        QVERIFY(label->isVisible() && !folioport::testing::namedChild<QWidget>(waiting, "notConfiguredPanel")->isVisible());
        QCOMPARE(label->text(), QStringLiteral("Loading\u2026"));
        QCOMPARE(shown.count(), 0);
        QTRY_COMPARE(shown.count(), 1);
        QTRY_VERIFY(!label->isVisible());
    }
    // A locked keyring is not a missing token: the panel says which, offers to unlock it, and goes on by
    // itself, loading, once the keyring is unlocked.
    {
        QVERIFY(platform::Keychain::set("test-token", StoredSettings::tokenAccount));
        QVERIFY(testing::lockKeyring());
        AppStore locked({.preferencesFile = fixture->preferencesFile});
        QTRY_VERIFY(!locked.isReadingSettings());
        MenuBarPanel waiting(locked, *updater);
        waiting.show();
        auto* wait = folioport::testing::namedChild<QWidget>(waiting, "keyringWaitPanel");
        QTRY_VERIFY(wait->isVisible());
        QVERIFY(!folioport::testing::namedChild<QWidget>(waiting, "notConfiguredPanel")->isVisible());
        QCOMPARE(folioport::testing::namedChild<QLabel>(waiting, "keyringWaitLabel")->text(),
                 QStringLiteral("The keyring that holds your API token is locked, so Folioport cannot read the token "
                                "yet. It goes on by itself once the keyring is unlocked."));
        QVERIFY(!folioport::testing::namedChild<QWidget>(waiting, "retryKeyringButton")->isVisible());
        // Its own prompt asks for the password; no one answers it here.
        QTest::mouseClick(folioport::testing::namedChild<QAbstractButton>(waiting, "unlockKeyringButton"), Qt::LeftButton);
        QTest::qWait(300);
        QVERIFY(wait->isVisible() && site->requests().empty());
        QVERIFY(testing::unlockKeyring());
        QTRY_VERIFY(folioport::testing::namedChild<QWidget>(waiting, "pageList")->isVisible());
        QVERIFY(!wait->isVisible());
        QTRY_COMPARE(waiting.findChildren<PageRow*>().size(), 4);
    }
    site->clearRequests();
    store->editSettings([&](StoredSettings& edited) { edited.baseURL = ""; });
    open();
    QSignalSpy cameOnScreen(panel.get(), &MenuBarPanel::cameOnScreen);
    QSignalSpy settings(panel.get(), &MenuBarPanel::settingsRequested);
    QTRY_VERIFY(shows("notConfiguredPanel"));
    for (const char* hidden : {"newPageButton", "searchButton", "refreshButton", "spaceBar", "pageList",
                               "spaceCountLabel", "userNameLabel", "updateBanner"})
        QVERIFY2(!shows(hidden), hidden);
    QVERIFY(shows("settingsButton") && shows("quitButton"));
    clickButton("openSettingsButton");
    clickButton("settingsButton");
    QCOMPARE(settings.count(), 2);

    // Completing the settings later does not load through the panel, nor does showing it again.
    store->editSettings([&](StoredSettings& edited) { edited.baseURL = site->baseURL(); });
    QTRY_VERIFY(shows("pageList"));
    panel->hide();
    panel->show();
    QTRY_COMPARE(cameOnScreen.count(), 1);
    QTest::qWait(200);
    QVERIFY(site->requests().empty());
    QVERIFY(!shows("notConfiguredPanel"));
    QCOMPARE(text("emptyHint"), QString::fromLatin1(noPagesHint));
}

void MenuBarPanelTest::loadingShowsProgressAndErrorsStayUntilASuccess_data() {
    QTest::addColumn<LoadRow>("row");
    // Each row on a fresh site and panel; all but the first after the panel's first load.
    QTest::newRow("the first load shows progress, then the rows") << LoadRow([](MenuBarPanelTest& test) {
        test.site->setLatency(300ms);
        test.open();
        auto* refresh = test.find<QAbstractButton>("refreshButton");
        auto* spinner = test.find<Spinner>("refreshSpinner");
        QTRY_VERIFY(!refresh->isEnabled());
        QVERIFY(spinner->isVisible() && spinner->isAnimating());
        QVERIFY(test.shows("emptyHint"));
        QCOMPARE(test.text("emptyHint"), QStringLiteral("Loading\u2026"));
        QTRY_COMPARE(test.rows().size(), 4);
        QVERIFY(refresh->isEnabled() && !spinner->isAnimating() && !test.shows("emptyHint"));
        QCOMPARE(test.text("userNameLabel"), QStringLiteral("Mia Krystof"));
        QCOMPARE(test.text("recentCountLabel"), QStringLiteral("4 recent"));
    });
    QTest::newRow("a failed load keeps the rows under the error, through the next load until one succeeds")
        << LoadRow([](MenuBarPanelTest& test) {
               auto* refresh = test.loaded();
               test.site->inject({.kind = fake::Fault::Kind::status, .status = 500, .pathPrefix = pagesPath});
               QTest::mouseClick(refresh, Qt::LeftButton);
               QTRY_VERIFY(test.shows("errorBanner") && refresh->isEnabled());
               const QString error = test.text("errorMessageLabel");
               QVERIFY(!error.isEmpty());
               QCOMPARE(test.rows().size(), 4);
               QTest::mouseClick(refresh, Qt::LeftButton);
               QTRY_VERIFY(!refresh->isEnabled());
               QVERIFY(test.shows("errorBanner"));
               QCOMPARE(test.text("errorMessageLabel"), error);
               QTRY_VERIFY(refresh->isEnabled());
               QVERIFY(!test.shows("errorBanner"));
           });
    QTest::newRow("a refused login explains itself and leads to the token page and Settings; no other failure does")
        << LoadRow([](MenuBarPanelTest& test) {
               auto* refresh = test.loaded();
               test.site->inject({.kind = fake::Fault::Kind::status, .status = 401, .pathPrefix = "/wiki/rest/api/user"});
               QSignalSpy settings(test.panel.get(), &MenuBarPanel::settingsRequested);
               QTest::mouseClick(refresh, Qt::LeftButton);
               QTRY_VERIFY(test.shows("errorBanner") && refresh->isEnabled());
               QVERIFY(test.shows("expiredTokenHint"));
               QCOMPARE(test.text("expiredTokenLabel"),
                        QStringLiteral("API tokens expire after at most a year; create a new one and paste it in Settings."));
               test.clickButton("expiredTokenLink");
               QCOMPARE(test.fixture->opened, std::vector<std::string>{tokenPageURL});
               test.clickButton("expiredTokenSettingsButton");
               QCOMPARE(settings.count(), 1);
               const QString refused = test.text("errorMessageLabel");
               test.site->inject({.kind = fake::Fault::Kind::status, .status = 500, .pathPrefix = pagesPath});
               QTest::mouseClick(refresh, Qt::LeftButton);
               QTRY_VERIFY(refresh->isEnabled() && test.text("errorMessageLabel") != refused);
               QVERIFY(test.shows("errorBanner") && !test.shows("expiredTokenHint"));
               QTest::mouseClick(refresh, Qt::LeftButton);
               QTRY_VERIFY(refresh->isEnabled() && !test.shows("errorBanner"));
           });
    QTest::newRow("a space without pages ends in the empty hint, not in Loading") << LoadRow([](MenuBarPanelTest& test) {
        auto* refresh = test.loaded();
        test.site->withData([](fake::SiteData& data) { data.spaces.push_back({"65539", "EMPTY", "Nothing yet"}); });
        test.store->selectSpace("EMPTY");
        QTRY_VERIFY(test.rows().isEmpty() && refresh->isEnabled());
        QCOMPARE(test.text("emptyHint"), QString::fromLatin1(noPagesHint));
        QCOMPARE(test.text("recentCountLabel"), QStringLiteral("0 recent"));
    });
}

void MenuBarPanelTest::loadingShowsProgressAndErrorsStayUntilASuccess() {
    QFETCH(LoadRow, row);
    row(*this);
}

QAbstractButton* MenuBarPanelTest::loaded() {
    open();
    [this] { QTRY_COMPARE(rows().size(), 4); }();
    return find<QAbstractButton>("refreshButton");
}

void MenuBarPanelTest::aFailedTimedRefreshKeepsTheRowsUnderAQuietLine() {
    fixture = std::make_unique<testing::WindowFixture>();
    fixture->minute = 200ms;  // a period of a second, retries 0.1, 0.2 and 0.4 s after a failure
    fixture->clock = QDateTime(QDate(2026, 12, 7), QTime(13, 57));
    QVERIFY(fixture->start({{"refreshMinutes", 5}}));
    site = fixture->site.get();
    store = fixture->store.get();
    updater = fixture->updater.get();
    store->startAutoRefresh();  // the token came after the settings were read
    open();
    QTRY_COMPARE(rows().size(), 4);
    QVERIFY(!shows("staleListLabel"));

    site->inject({.kind = fake::Fault::Kind::status, .status = 503, .body = "<b>maintenance</b>",
                  .pathPrefix = "/wiki/rest/api/user", .count = 3});
    fixture->clock = QDateTime(QDate(2026, 12, 7), QTime(14, 2));
    QTRY_VERIFY_WITH_TIMEOUT(shows("staleListLabel"), 5000);
    QCOMPARE(text("staleListLabel"), QStringLiteral("Couldn't refresh at 14:02 \u2014 showing pages from 13:57"));
    QTextDocument reason;  // the tooltip as shown: the site's text as written, never markup
    reason.setHtml(find("staleListLabel")->toolTip());
    QCOMPARE(reason.toPlainText(), QStringLiteral("Confluence returned HTTP 503. <b>maintenance</b>"));
    QCOMPARE(rows().size(), 4);
    QVERIFY(!shows("errorBanner"));
    // The retries come soon, and the first that succeeds takes the line away.
    QTRY_VERIFY_WITH_TIMEOUT(!shows("staleListLabel"), 1500);
    QCOMPARE(rows().size(), 4);
}

void MenuBarPanelTest::spaceMenuMarksExactlyAndLongListsBecomeAPicker() {
    site->withData([](fake::SiteData& data) { data.spaces[1].name = "R&D Lab"; });
    open();
    QTRY_COMPARE(rows().size(), 4);
    auto* menuButton = find<QAbstractButton>("spaceMenuButton");
    auto* menu = find<QMenu>("spaceMenu");
    const QImage checkmark = symbolIcon(Symbol::checkmark).pixmap(16).toImage();
    auto checkedItems = [&] {
        QStringList checked;
        for (QAction* action : menu->actions())
            if (action->icon().pixmap(16).toImage() == checkmark) checked << action->iconText();
        return checked;
    };
    QCOMPARE(menuButton->text(), QStringLiteral("All spaces"));
    QVERIFY(!shows("selectedSpaceLabel"));
    QStringList items;
    for (QAction* action : menu->actions()) items << (action->isSeparator() ? QStringLiteral("-") : action->iconText());
    QCOMPARE(items, (QStringList{"All spaces", "-", "ENG \u00b7 Engineering", "OPS \u00b7 R&D Lab"}));
    QCOMPARE(checkedItems(), QStringList{"All spaces"});
    QCOMPARE(text("spaceCountLabel"), QStringLiteral("\u00b7 2 spaces"));

    store->editSettings([&](StoredSettings& edited) { edited.spaceKey = "eng"; });
    QTRY_COMPARE(menuButton->text(), QStringLiteral("eng"));
    QCOMPARE(text("selectedSpaceLabel"), QStringLiteral("Engineering"));
    QVERIFY(checkedItems().isEmpty());

    menu->actions().at(3)->trigger();
    QTRY_COMPARE(menuButton->text(), QStringLiteral("OPS"));
    QCOMPARE(store->settings().spaceKey, "OPS");
    QTRY_COMPARE(rows().size(), 1);
    QCOMPARE(checkedItems(), QStringList{"OPS \u00b7 R&D Lab"});
    QCOMPARE(text("selectedSpaceLabel"), QStringLiteral("R&D Lab"));

    // The footer counts in the singular for one space and hides without any.
    site->withData([](fake::SiteData& data) { data.spaces.resize(1); });
    store->load(false);
    QTRY_COMPARE(text("spaceCountLabel"), QStringLiteral("\u00b7 1 space"));
    site->withData([](fake::SiteData& data) { data.spaces.clear(); });
    store->load(false);
    QTRY_VERIFY(!shows("spaceCountLabel"));
    QCOMPARE(menu->actions().size(), 1);

    // Beyond twenty spaces the menu holds one picker: its field takes the typing, matching keys and names
    // (an equal key first, then keys starting with the first word), the arrows move, Return picks.
    site->withData([](fake::SiteData& data) {
        data.spaces = fake::SiteData::minimal().spaces;
        data.addGenerated(45, 0);  // DES1 "Design 1" … DOC3 "Docs 3"
        data.spaces.push_back({data.nextId(), "DOCS", "Handbook"});
    });
    store->load(false);
    QTRY_COMPARE(text("spaceCountLabel"), QStringLiteral("\u00b7 48 spaces"));
    QCOMPARE(menu->actions().size(), 1);
    auto* field = find<QLineEdit>("spaceFilterField");
    auto* list = find<QListView>("spaceList");
    auto popUp = [&] {
        menu->popup(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTRY_VERIFY(field->hasFocus());
    };
    auto listed = [&] {
        QStringList texts;
        for (int row = 0; row < list->model()->rowCount(); ++row) texts << list->model()->index(row, 0).data().toString();
        return texts;
    };
    auto highlighted = [&] { return list->currentIndex().data().toString(); };
    QWidget* const routed = nullptr;  // keys go where a user's go: to the open menu's focus
    popUp();
    QCOMPARE(listed().size(), 49);
    QCOMPARE(listed().first(), QStringLiteral("All spaces"));
    QCOMPARE(highlighted(), QStringLiteral("OPS \u00b7 Operations"));
    QCOMPARE(list->currentIndex().data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("Listed"));
    QTest::keyClicks(routed, QStringLiteral("DOCS"));
    QCOMPARE(listed(), (QStringList{"DOCS \u00b7 Handbook", "DOC1 \u00b7 Docs 1", "DOC2 \u00b7 Docs 2", "DOC3 \u00b7 Docs 3"}));
    QCOMPARE(highlighted(), QStringLiteral("DOCS \u00b7 Handbook"));
    QTest::keyClick(routed, Qt::Key_Down);
    QTest::keyClick(routed, Qt::Key_Down);
    QTest::keyClick(routed, Qt::Key_Up);
    QCOMPARE(field->text(), QStringLiteral("DOCS"));
    QTest::keyClick(routed, Qt::Key_Return);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(store->settings().spaceKey, "DOC1");
    QTRY_COMPARE(menuButton->text(), QStringLiteral("DOC1"));

    // Opened again, the filter is empty and the listed space highlighted; nothing matching, Return picks
    // nothing and Escape closes.
    popUp();
    QCOMPARE(field->text(), QString());
    QCOMPARE(highlighted(), QStringLiteral("DOC1 \u00b7 Docs 1"));
    QTest::keyClicks(routed, QStringLiteral("docs 2"));
    QCOMPARE(listed(), QStringList{"DOC2 \u00b7 Docs 2"});
    QTest::keyClicks(routed, QStringLiteral("x"));
    QVERIFY(listed().isEmpty() && !list->isVisible());
    QCOMPARE(text("noSpaceMatchLabel"), QStringLiteral("No space matches \u201cdocs 2x\u201d"));
    QTest::keyClick(routed, Qt::Key_Return);
    QVERIFY(menu->isVisible());
    QTest::keyClick(routed, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(store->settings().spaceKey, "DOC1");

    // A click on an entry picks it too.
    popUp();
    QTest::keyClicks(routed, QStringLiteral("all"));
    QCOMPARE(listed(), QStringList{"All spaces"});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(store->settings().spaceKey, "");
}

void MenuBarPanelTest::rowsShowVersionDateAndBadgeAsTheRecordAllows() {
    testing::MovableClock clock(std::chrono::sys_days(std::chrono::December / 7 / 2026) + std::chrono::hours(12));
    const std::string longTitle(30, 'x');
    servePages(json::array({
        {{"id", "1"}, {"title", "Q3 Roadmap & Goals"}, {"spaceId", "65537"},
         {"version", {{"number", 7}, {"createdAt", "2026-11-20T10:00:00.000Z"}}}},
        {{"id", "2"}, {"title", "No version"}, {"spaceId", "99999"}},
        {{"id", "3"}, {"title", "Version without number"}, {"version", {{"createdAt", "last Tuesday"}}}},
        {{"id", "4"}, {"title", ""}, {"spaceId", "65538"}, {"version", {{"number", 2}}}},
        {{"id", "5"}, {"title", std::string(60, 'w') + " " + std::string(200, 'z')}},
    }));
    open();
    QTRY_COMPARE(rows().size(), 5);
    struct Expected {
        const char* title;
        const char* version;
        const char* badge;  // nullptr: none
        const char* date;  // nullptr: no date line
    };
    const Expected expected[] = {
        {"Q3 Roadmap & Goals", "v7", "ENG", "Updated 20 November 2026 \u00b7 17 days ago"},
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
        QCOMPARE(shown->findChild<QWidget*>(QStringLiteral("dateLine"))->isVisible(), want.date != nullptr);
        if (want.date)
            QCOMPARE(shown->findChild<QLabel*>(QStringLiteral("dateLabel"))->text(), QString::fromUtf8(want.date));
    }
    // A menu shows the title as written, not with "&" taken for a mnemonic marker.
    const QMenu* trash = row("Q3 Roadmap & Goals")->findChild<QMenu*>(QStringLiteral("trashMenu"));
    QCOMPARE(trash->actions().first()->iconText(), QStringLiteral("Yes, move \u201cQ3 Roadmap & Goals\u201d to trash"));
    const QStringList lines = rows().last()->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))->visibleLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.last().endsWith(QChar(0x2026)));
}

void MenuBarPanelTest::rowActionsReachTheStoreAndTheScene() {
    open();
    QTRY_COMPARE(rows().size(), 4);
    PageRow* roadmap = row("Roadmap for Q3");
    QVERIFY(roadmap);
    const std::string link = site->baseURL() + "/wiki/spaces/ENG/pages/98306/Roadmap+for+Q3";
    QSignalSpy edits(panel.get(), &MenuBarPanel::editPageRequested);
    QSignalSpy children(panel.get(), &MenuBarPanel::newChildPageRequested);

    // "Copied" shows for 1.2 s after the last copy.
    testing::MovableClock clock(std::chrono::system_clock::now());
    auto* info = roadmap->findChild<QAbstractButton*>(QStringLiteral("infoButton"));
    QTest::mouseClick(info, Qt::LeftButton);
    QCOMPARE(fixture->copied, std::vector<std::string>{"Roadmap for Q3 \u2014 " + link});
    auto* copiedLabel = roadmap->findChild<QWidget*>(QStringLiteral("copiedLabel"));
    QVERIFY(copiedLabel->isVisible());
    clock.advance(1000ms);
    QTest::mouseClick(info, Qt::LeftButton);
    clock.advance(1000ms);
    QVERIFY(roadmap->showsCopied());
    clock.advance(200ms);
    QVERIFY(!roadmap->showsCopied());
    QTRY_VERIFY(!copiedLabel->isVisible());
    fixture->copied.clear();

    auto* edit = roadmap->findChild<QAbstractButton*>(QStringLiteral("editButton"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(edits.count(), 1);

    QMap<QString, QAction*> actions;
    for (QAction* action : roadmap->findChild<QMenu*>(QStringLiteral("actionsMenu"))->actions())
        actions[action->text()] = action;
    for (const char* name : {"Open in browser", "Edit page", "New child page", "Copy title", "Copy title + link"})
        actions[QString::fromUtf8(name)]->trigger();
    QCOMPARE(fixture->opened, std::vector<std::string>{link});
    QCOMPARE(fixture->copied, (std::vector<std::string>{"Roadmap for Q3", "Roadmap for Q3 \u2014 " + link}));
    QCOMPARE(edits.count(), 2);
    QCOMPARE(children.count(), 1);
    QCOMPARE(qvariant_cast<Page>(children.first().first()).id, "98306");

    QMenu* trash = actions[QStringLiteral("Move to trash\u2026")]->menu();
    QVERIFY(trash && trash->actions().size() == 1);
    QCOMPARE(trash->actions().first()->text(), QStringLiteral("Yes, move \u201cRoadmap for Q3\u201d to trash"));
    site->setLatency(300ms);
    trash->actions().first()->trigger();
    QTRY_VERIFY(roadmap->findChild<Spinner*>(QStringLiteral("busySpinner"))->isAnimating());
    QTRY_COMPARE(rows().size(), 3);
    QVERIFY(!row("Roadmap for Q3"));
}

void MenuBarPanelTest::busyRowsSwapTheirButtonsForProgress() {
    open();
    QTRY_COMPARE(rows().size(), 4);
    PageRow* home = row("Engineering Home");
    auto homeShows = [home](const char* name) {
        return home->findChild<QWidget*>(QString::fromLatin1(name))->isVisible();
    };
    auto* spinner = home->findChild<Spinner*>(QStringLiteral("busySpinner"));
    store->insertBusyPageId("98305");
    QTRY_VERIFY(homeShows("busySpinner"));
    QVERIFY(spinner->isAnimating() && !homeShows("editButton") && !homeShows("actionsButton"));
    QVERIFY(row("Roadmap for Q3")->findChild<QWidget*>(QStringLiteral("editButton"))->isVisible());
    // A closed panel costs no timer, even with a busy row; it spins again when shown.
    panel->hide();
    QVERIFY(!spinner->isAnimating());
    panel->show();
    QVERIFY(spinner->isAnimating());

    store->removeBusyPageId("98305");
    QTRY_VERIFY(homeShows("editButton"));
    QVERIFY(homeShows("actionsButton") && !homeShows("busySpinner") && !spinner->isAnimating());
}

void MenuBarPanelTest::updateBannerHidesAfterLaterAndReturnsForANewerVersion() {
    open();
    QSignalSpy about(panel.get(), &MenuBarPanel::aboutRequested);
    const std::string feed = site->baseURL() + feedPath;
    QVERIFY(!shows("updateBanner"));

    site->serve(feedPath, {200, feedOffering("2.0"), "application/json"});
    site->setLatency(300ms);
    updater->check(feed, true);
    QTRY_VERIFY(shows("updateBanner"));
    QCOMPARE(text("updateTitleLabel"), QStringLiteral("Version 2.0 is available"));
    clickButton("whatsNewButton");
    QCOMPARE(about.count(), 1);
    clickButton("laterButton");
    QTRY_VERIFY(!shows("updateBanner"));

    updater->check(feed, true);  // the same version stays dismissed
    QTRY_VERIFY(!updater->isChecking());
    QTest::qWait(50);
    QVERIFY(!shows("updateBanner"));

    // The feed is unsigned: its markup shows as the characters it is, never as a link or styled text.
    site->serve(feedPath, {200, feedOffering("2.1<a href='x'><font size=7></font></a>"), "application/json"});
    updater->check(feed, true);
    QTRY_VERIFY(shows("updateBanner"));
    const auto* title = find<QLabel>("updateTitleLabel");
    QCOMPARE(title->text(), QStringLiteral("Version 2.1<a href='x'><font size=7></font></a> is available"));
    QVERIFY(title->sizeHint().width() >= title->fontMetrics().horizontalAdvance(title->text()));
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
    open();
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
    open();
    QTRY_COMPARE(rows().size(), 4);
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel.get()));

    for (PageRow* shown : rows()) QVERIFY(!QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name).isEmpty());

    // Tab walks the panel top to bottom: header, space menu, each row's three controls, footer.
    QStringList expected = {"newPageButton", "searchButton", "refreshButton", "settingsButton", "spaceMenuButton"};
    for (int i = 0; i < 4; ++i) expected << "infoButton" << "editButton" << "actionsButton";
    expected << "versionButton" << "quitButton";
    QCOMPARE(testing::keyboardWalk(find("newPageButton")), expected);

    // Space and Return press the focused row's info block: its link is copied.
    QWidget* info = rows().first()->findChild<QWidget*>(QStringLiteral("infoButton"));
    info->setFocus();
    QTest::keyClick(info, Qt::Key_Return);
    QTest::keyClick(info, Qt::Key_Space);
    QTRY_COMPARE(fixture->copied.size(), 2u);
}

QTEST_MAIN(MenuBarPanelTest)
#include "MenuBarPanelTest.moc"
