#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "app/PopupPlacement.h"
#include "app/TrayItem.h"
#include "app/TrayLabel.h"
#include "state/AppStore.h"

namespace folioport {
namespace {

TEST(PopupPlacement, UnderTheIconOrAboveItInTheLowerHalfFromTheClickWithoutGeometryAlwaysOnScreen) {
    const QSize panel(560, 700);
    const QRect screen(0, 0, 1920, 1080);
    struct Row {
        const char* name;
        QRect icon;
        QPoint click;
        QRect available;
        QPoint expected;
    };
    const Row rows[] = {
        {"centred under an icon at the top", {1000, 0, 24, 28}, {0, 0}, screen, {731, 28}},
        {"above an icon at the bottom", {1000, 1052, 24, 28}, {0, 0}, screen, {731, 352}},
        {"kept inside the right edge", {1890, 0, 24, 28}, {0, 0}, screen, {1360, 28}},
        {"kept inside the left edge", {4, 0, 24, 28}, {0, 0}, screen, {0, 28}},
        {"from the click when the tray tells no geometry", {}, {500, 10}, screen, {220, 11}},
        {"from the click at the bottom", {}, {1500, 1075}, screen, {1220, 375}},
        {"on a second screen", {2900, 0, 24, 28}, {0, 0}, {1920, 0, 1280, 1024}, {2631, 28}},
        {"a screen lower than the panel keeps its top", {100, 0, 24, 28}, {0, 0}, {0, 30, 1024, 600}, {0, 30}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(popupGeometry(row.icon, row.click, panel, row.available), QRect(row.expected, panel)) << row.name;
    }
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

}  // namespace
}  // namespace folioport
