#include <QApplication>
#include <QFontMetricsF>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "MovableClock.h"
#include "app/PopupPlacement.h"
#include "app/Scene.h"
#include "app/TrayItem.h"
#include "app/TrayLabel.h"
#include "state/AppStore.h"
#include "ui/MenuBarPanel.h"
#include "updater/Updater.h"

namespace folioport {
namespace {

TEST(PopupPlacement, UnderTheIconOrAboveItInTheLowerHalfFromTheClickWithoutGeometryAlwaysOnScreenAndFitting) {
    const QSize panel(560, 700);
    const QRect screen(0, 0, 1920, 1080);
    struct Row {
        const char* name;
        QRect icon;
        QPoint click;
        QRect available;
        QPoint expected;
        QSize size{560, 700};
    };
    const Row rows[] = {
        {"centred under an icon at the top", {1000, 0, 24, 28}, {0, 0}, screen, {731, 28}},
        {"above an icon at the bottom", {1000, 1052, 24, 28}, {0, 0}, screen, {731, 352}},
        {"kept inside the right edge", {1890, 0, 24, 28}, {0, 0}, screen, {1360, 28}},
        {"kept inside the left edge", {4, 0, 24, 28}, {0, 0}, screen, {0, 28}},
        {"from the click when the tray tells no geometry", {}, {500, 10}, screen, {220, 11}},
        {"from the click at the bottom", {}, {1500, 1075}, screen, {1220, 375}},
        {"on a second screen", {2900, 0, 24, 28}, {0, 0}, {1920, 0, 1280, 1024}, {2631, 28}},
        {"a screen lower than the panel: it fits", {100, 0, 24, 28}, {0, 0}, {0, 30, 1024, 600}, {0, 30}, {560, 600}},
        {"a large font: shortened to the room under the icon", {900, 0, 24, 28}, {0, 0}, {0, 0, 1024, 640}, {464, 28}, {560, 612}},
        {"and above an icon at the bottom", {900, 612, 24, 28}, {0, 0}, {0, 0, 1024, 640}, {464, 0}, {560, 612}},
        {"narrower than the panel", {300, 0, 24, 28}, {0, 0}, {0, 0, 426, 266}, {0, 28}, {426, 238}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(popupGeometry(row.icon, row.click, panel, row.available), QRect(row.expected, row.size)) << row.name;
    }
}

TEST(PopupPlacement, TheClickIsWhereTheTraySaysWhenThatIsOnAScreenElseThePointer) {
    const QList<QRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QPoint pointer(640, 400);
    struct Row {
        const char* name;
        std::optional<QPoint> sent;
        QPoint expected;
    };
    const Row rows[] = {
        {"sent on the first screen", QPoint(1900, 12), {1900, 12}},
        {"sent on the second screen", QPoint(3000, 1000), {3000, 1000}},
        {"nothing sent", std::nullopt, pointer},
        {"0, 0: the tray does not know", QPoint(0, 0), pointer},
        {"below every screen", QPoint(100, 1100), pointer},
        {"negative", QPoint(-5, 10), pointer},
    };
    for (const Row& row : rows) EXPECT_EQ(trayClickPosition(row.sent, pointer, screens), row.expected) << row.name;
}

TEST(TrayLabel, TheKeyIsCutOnlyWhenItCannotFitAndIsReadableAtSixteenPixels) {
    struct Row {
        const char* key;
        int size;
        bool cut;
    };
    const Row rows[] = {{"OPS", 64, false}, {"OPS", 48, false},  {"ENG", 32, false}, {"PROD", 24, false},
                        {"ENG", 22, false}, {"ENG", 16, false},  {"PROD", 16, false},
                        {"MARKETING", 24, true}, {"MARKETING", 16, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.key << " at " << row.size);
        const BadgeLayout layout = badgeLayout(row.key, row.size);
        EXPECT_EQ(layout.text != row.key, row.cut) << layout.text.toStdString();
        if (row.cut) {
            EXPECT_TRUE(layout.text.endsWith(u'…')) << layout.text.toStdString();
        }
        EXPECT_EQ(layout.withSymbol, row.size > 16);
        EXPECT_LE(QFontMetricsF(layout.font).horizontalAdvance(layout.text) * layout.squeeze, row.size - 2);
    }
    EXPECT_GE(badgeLayout("ENG", 16).font.pixelSize(), 8) << "large enough to read in a 16 px top bar";
}

TEST(TrayLabel, TheKeyInUpperCaseOnlyWithCompleteSettings) {
    const ConfluenceConfig complete{"https://example.atlassian.net", "mia@example.com", "token"};
    struct Row {
        ConfluenceConfig config;
        std::string spaceKey;
        const char* expected;
    };
    const Row rows[] = {{complete, "eng", "ENG"},
                        {complete, "Ops ", "OPS"},
                        {complete, "", ""},
                        {complete, "  ", ""},
                        {{"https://example.atlassian.net", "mia@example.com", ""}, "eng", ""},
                        {{"", "mia@example.com", "token"}, "ENG", ""}};
    for (const Row& row : rows) {
        EXPECT_EQ(trayKeyText(row.config, row.spaceKey), row.expected) << row.spaceKey;
    }
}

TEST(TrayItem, IconAndTooltipFollowTheStoresSettings) {
    QTemporaryDir folder;
    AppStoreOptions options;
    options.preferencesFile = folder.filePath("preferences.json").toStdString();
    options.draftsFolder = folder.filePath("drafts").toStdString();
    AppStore store(options);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.isReadingSettings(); }, 5000));
    for (bool demo : {false, true}) {
        SCOPED_TRACE(demo);
        store.editSettings([&](StoredSettings& settings) { settings.baseURL = ""; });
        TrayItem item(store, demo);
        auto* icon = item.findChild<QSystemTrayIcon*>("trayIcon");
        ASSERT_TRUE(icon);
        const QString name = demo ? "Folioport Demo" : "Folioport";
        const qint64 plain = icon->icon().cacheKey();
        EXPECT_EQ(icon->toolTip(), name);

        store.editSettings([&](StoredSettings& settings) {
            settings.spaceKey = "eng";
            settings.baseURL = "https://example.atlassian.net";
            settings.email = "mia@example.com";
        });
        EXPECT_EQ(icon->toolTip(), name) << "no token yet: incomplete";
        store.editSettings([&](StoredSettings& settings) { settings.apiToken = "token"; });
        EXPECT_EQ(icon->toolTip(), name + " · ENG");
        EXPECT_NE(icon->icon().cacheKey(), plain) << "the key is drawn into the icon";
        store.editSettings([&](StoredSettings& settings) { settings.spaceKey = ""; });
        EXPECT_EQ(icon->toolTip(), name);
        store.editSettings([&](StoredSettings& settings) { settings.spaceKey = "ops"; });
        EXPECT_EQ(icon->toolTip(), name + " · OPS");
        store.editSettings([&](StoredSettings& settings) { settings.apiToken = ""; });
        EXPECT_EQ(icon->toolTip(), name);
    }
}

/// Tray hosts that come and go as the test says.
class MovableTrayHosts final : public TrayHosts {
public:
    explicit MovableTrayHosts(TrayHostsPresent hosts) : hosts_(hosts) {}
    TrayHostsPresent present() const override { return hosts_; }
    void set(TrayHostsPresent hosts) {
        hosts_ = hosts;
        Q_EMIT changed();
    }

private:
    TrayHostsPresent hosts_;
};

TEST(Scene, MovesIntoATrayOnlyWhereItsIconShowsAndBackToAWindowWhenTheTrayIsGoneForGood) {
    using namespace std::chrono_literals;
    QTemporaryDir folder;
    AppStoreOptions options;
    options.preferencesFile = folder.filePath("preferences.json").toStdString();
    options.draftsFolder = folder.filePath("drafts").toStdString();
    std::ofstream(options.preferencesFile) << R"({"autoUpdate":false})";
    AppStore store(options);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.isReadingSettings(); }, 5000));
    Updater updater;
    testing::MovableClock clock(std::chrono::system_clock::now());

    constexpr TrayHostsPresent none{}, notifier{.statusNotifier = true}, xembed{.xembed = true},
        both{.statusNotifier = true, .xembed = true};
    struct Step {
        TrayHostsPresent hosts;
        std::chrono::milliseconds later;  // the UI clock moves on this much after the hosts changed
        bool inTray;
    };
    struct Row {
        const char* name;
        TrayHostsPresent atStart;
        bool inTrayAtStart;
        std::vector<Step> steps;
    };
    const Row rows[] = {
        {"no tray: a window", none, false, {}},
        {"a StatusNotifierItem host at start", notifier, true, {}},
        {"an XEmbed host at start", xembed, true, {}},
        {"a tray that comes takes over", none, false, {{notifier, 0ms, true}}},
        {"a tray away for less than 5 s keeps the icon", notifier, true,
         {{none, 4900ms, true}, {notifier, 0ms, true}, {notifier, 5000ms, true}}},
        {"a tray gone for good brings the window back after 5 s", notifier, true,
         {{none, 4900ms, true}, {none, 100ms, false}, {notifier, 0ms, true}}},
        {"each absence waits its own 5 s", notifier, true,
         {{none, 3000ms, true}, {notifier, 0ms, true}, {none, 3000ms, true}, {none, 2000ms, false}}},
        {"after a StatusNotifierItem host, an XEmbed-only tray shows no icon: the window stays", none, false,
         {{notifier, 0ms, true}, {none, 5000ms, false}, {xembed, 5000ms, false}, {notifier, 0ms, true}}},
        {"after an XEmbed host, a StatusNotifierItem-only tray shows no icon: the window stays", none, false,
         {{xembed, 0ms, true}, {none, 5000ms, false}, {notifier, 5000ms, false}, {xembed, 0ms, true}}},
        {"both at start: the icon went with the StatusNotifierItem host although XEmbed stays", both, true,
         {{xembed, 4900ms, true}, {xembed, 100ms, false}}},
        {"a host of the other protocol while the tray is away does not keep the icon", notifier, true,
         {{xembed, 5000ms, false}}},
    };
    auto shownPanels = [] {
        return std::ranges::count_if(QApplication::topLevelWidgets(), [](QWidget* widget) {
            return qobject_cast<ui::MenuBarPanel*>(widget) && widget->isVisible();
        });
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto hosts = std::make_unique<MovableTrayHosts>(row.atStart);
        MovableTrayHosts& moved = *hosts;
        Scene scene(store, updater, false, std::move(hosts));
        scene.start();
        EXPECT_EQ(scene.opensFromTray(), row.inTrayAtStart);
        for (std::size_t at = 0; at < row.steps.size(); ++at) {
            const Step& step = row.steps[at];
            moved.set(step.hosts);
            clock.advance(step.later);
            EXPECT_EQ(scene.opensFromTray(), step.inTray) << "step " << at + 1;
            EXPECT_EQ(shownPanels(), step.inTray ? 0 : 1) << "step " << at + 1 << ": the window shows without a tray";
        }
    }
}

}  // namespace
}  // namespace folioport
