#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "SettingsViewTest.h"
#include "KeyboardWalk.h"
#include "KeyringControl.h"
#include "MovableClock.h"
#include "WindowFixture.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "ui/ElidedLabel.h"
#include "ui/ErrorBanner.h"
#include "ui/ExpiredTokenHint.h"
#include "ui/McpSetupSection.h"
#include "ui/SettingsView.h"
#include "ui/Style.h"
#include "NamedChild.h"

using namespace std::chrono_literals;
using nlohmann::json;
using namespace folioport;
using namespace folioport::ui;

namespace {

constexpr const char* feedPath = "/folioport/appcast.json";
constexpr const char* tokenAccount = StoredSettings::tokenAccount;

struct OpenSettings {
    testing::WindowFixture fixture;
    std::unique_ptr<SettingsView> view;
    int closes = 0;
    QString executable;

    /// A new window on the same store, as the user opens Settings again.
    void reopen() {
        view = std::make_unique<SettingsView>(*fixture.store, *fixture.updater, [this] { ++closes; },
                                              McpServerInfo{executable, {"list_spaces", "get_page"}});
        view->resize(420, 620);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get())) qFatal("the settings view was not shown");
    }

    template <class T = QWidget>
    T* find(const char* name) const {
        return folioport::testing::namedChild<T>(*view, name);
    }
    void retype(const char* field, const QString& text) {
        auto* edit = find<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
    }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
};

std::unique_ptr<OpenSettings> openSettings(json stored, const QString& executable = QStringLiteral("/opt/Folioport"),
                                           bool tokenFromKeyring = false) {
    auto open = std::make_unique<OpenSettings>();
    open->executable = executable;
    open->fixture.tokenFromKeyring = tokenFromKeyring;
    if (!open->fixture.start(std::move(stored))) qFatal("the fake site did not start");
    open->reopen();
    return open;
}

/// Replaces the preferences file as an editor saves it: another file renamed over it.
void editOutside(const std::string& file, const std::function<void(json&)>& edit) {
    json stored = json::parse(std::ifstream(file));
    edit(stored);
    std::ofstream(file + ".edited") << stored.dump();
    std::filesystem::rename(file + ".edited", file);
}

}  // namespace

void SettingsViewTest::cancelLeavesPreferencesKeyringAndStoreUntouched() {
    QVERIFY(platform::Keychain::set("kept-token", tokenAccount));
    auto open = openSettings({{"spaceKey", "OPS"}, {"pageLimit", 30}, {"refreshMinutes", 7}});
    const std::string before = open->fixture.storedPreferences();

    // The copy shows the stored values; values outside the pickers' choices select nothing.
    QCOMPARE(open->find<QLineEdit>("apiTokenField")->text(), QStringLiteral("test-token"));
    QCOMPARE(open->find<QLineEdit>("spaceKeyField")->text(), QStringLiteral("OPS"));
    QCOMPARE(open->find<QComboBox>("pageLimitPicker")->currentIndex(), -1);
    QCOMPARE(open->find<QComboBox>("refreshPicker")->currentIndex(), -1);

    open->retype("baseURLField", QStringLiteral("https://elsewhere.example"));
    open->retype("apiTokenField", QStringLiteral("other-token"));
    open->retype("spaceKeyField", QStringLiteral("ENG"));
    open->find<QComboBox>("pageLimitPicker")->setCurrentIndex(0);
    open->find<QCheckBox>("autoUpdateCheckBox")->click();
    open->click("cancelButton");
    QCOMPARE(open->closes, 1);
    open->view.reset();

    QCOMPARE(open->fixture.storedPreferences(), before);
    QCOMPARE(platform::Keychain::get(tokenAccount), std::optional<std::string>("kept-token"));
    QCOMPARE(open->fixture.store->settings().baseURL, open->fixture.site->baseURL());
    QCOMPARE(open->fixture.store->settings().apiToken, std::string("test-token"));
    QCOMPARE(open->fixture.store->settings().spaceKey, std::string("OPS"));
    QCOMPARE(open->fixture.store->settings().pageLimit, 30);
    QVERIFY(open->fixture.store->settings().autoUpdate);
    QVERIFY(open->fixture.site->requests().empty());
}

void SettingsViewTest::doneStoresTheCopyRestartsTheUpdaterAndLoads() {
    auto open = openSettings({{"pageLimit", 30}, {"autoUpdate", false}});
    const std::string feed = open->fixture.site->baseURL() + feedPath;
    open->fixture.site->serve(feedPath, {200, R"({"version":"1.0","url":"https://example.invalid/F.zip"})", "application/json"});
    open->retype("spaceKeyField", QStringLiteral("  ENG\t"));
    open->retype("apiTokenField", QStringLiteral(" saved-token "));
    open->retype("feedURLField", QString::fromStdString(feed));
    open->find<QComboBox>("refreshPicker")->setCurrentIndex(1);
    QTest::keyClick(open->find<QComboBox>("refreshPicker"), Qt::Key_Down);  // "Every 10 min"
    open->find<QCheckBox>("autoUpdateCheckBox")->click();
    QVERIFY(!open->find<QCheckBox>("assistantsReadOnlyCheckBox")->isChecked());
    open->find<QCheckBox>("assistantsReadOnlyCheckBox")->click();

    // Return in a field is "Done".
    QTest::keyClick(open->find<QLineEdit>("emailField"), Qt::Key_Return);
    QTRY_COMPARE(open->closes, 1);

    const auto& store = *open->fixture.store;
    QCOMPARE(store.settings().spaceKey, std::string("ENG"));
    QCOMPARE(store.settings().apiToken, std::string(" saved-token "));
    QCOMPARE(store.settings().pageLimit, 30);  // no choice picked, so written back unchanged
    QCOMPARE(store.settings().refreshMinutes, 10);
    QVERIFY(store.settings().autoUpdate);
    const json saved = json::parse(open->fixture.storedPreferences());
    const json expected{{"spaceKey", "ENG"}, {"pageLimit", 30}, {"refreshMinutes", 10}, {"updateFeedURL", feed},
                        {"assistantsReadOnly", true}};
    for (const auto& [key, value] : expected.items()) QVERIFY2(saved[key] == value, key.c_str());
    QVERIFY(!saved.contains("apiToken"));
    QCOMPARE(platform::Keychain::get(tokenAccount), std::optional<std::string>(" saved-token "));
    // The panel's load runs with the saved settings, and the updater, restarted with the saved feed and
    // automatic checks on, makes its launch check.
    QTRY_VERIFY(!open->fixture.requestsTo("/wiki/rest/api/user/current").empty());
    QTRY_VERIFY(!open->fixture.requestsTo(feedPath).empty());
}

void SettingsViewTest::doneNeverWritesBackATokenItDidNotReadNorValuesChangedOutside() {
    QVERIFY(platform::Keychain::set("kept-token", tokenAccount));
    QVERIFY(testing::lockKeyring());
    auto open = openSettings({{"pageLimit", 25}}, QStringLiteral("/opt/Folioport"), true);
    auto* token = open->find<QLineEdit>("apiTokenField");
    auto* note = open->find<QLabel>("keyringNoteLabel");
    QCOMPARE(token->text(), QString());
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("The stored token is not shown because the keyring is locked. It stays as "
                                          "it is unless you type a new one."));

    // "Done" while the keyring is locked stores the rest and leaves the token alone.
    open->retype("spaceKeyField", QStringLiteral("ENG"));
    open->click("doneButton");
    QTRY_COMPARE(open->closes, 1);
    QVERIFY(json::parse(open->fixture.storedPreferences())["spaceKey"] == "ENG");

    // Opened again, the untouched controls follow the file edited outside and the token the unlocked keyring
    // gives, so "Done" without changes writes nothing older back.
    open->reopen();
    token = open->find<QLineEdit>("apiTokenField");
    editOutside(open->fixture.preferencesFile, [](json& stored) { stored["pageLimit"] = 100; });
    QTRY_COMPARE(open->find<QComboBox>("pageLimitPicker")->currentText(), QStringLiteral("100"));
    QVERIFY(testing::unlockKeyring());
    QTRY_COMPARE(token->text(), QStringLiteral("kept-token"));
    QVERIFY(!open->find<QLabel>("keyringNoteLabel")->isVisible());
    open->click("doneButton");
    QTRY_COMPARE(open->closes, 2);
    QVERIFY(json::parse(open->fixture.storedPreferences())["pageLimit"] == 100);
    QCOMPARE(platform::Keychain::get(tokenAccount), std::optional<std::string>("kept-token"));
}

void SettingsViewTest::doneKeepsTheEditsAndSaysWhyWhenTheDiskRefuses() {
    auto open = openSettings(json::object());
    const std::string before = open->fixture.storedPreferences();
    const std::filesystem::path folder = std::filesystem::path(open->fixture.preferencesFile).parent_path();
    const auto setImmutable = [&](bool on) {
        // why: permissions alone do not stop root; the immutable flag does, where the file system has it.
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    };
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    const struct {
        const char* name;
        std::function<void()> refuse, restore;
    } rows[] = {
        {"read-only folder",
         [&] {
             std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
             setImmutable(true);
         },
         [&] {
             setImmutable(false);
             std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
         }},
        {"full disk (the file size limit stands in for it)",
         [&] {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit tiny{0, RLIM_INFINITY};
             ::setrlimit(RLIMIT_FSIZE, &tiny);
         },
         [&] { ::setrlimit(RLIMIT_FSIZE, &unlimited); }},
    };
    auto* banner = open->find<ErrorBanner>("saveErrorBanner");
    for (const auto& row : rows) {
        row.refuse();
        // The disk's own reason for a file written here now.
        const std::string probe = (folder / "probe").string();
        const int probed = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool refused = probed < 0 || ::write(probed, "probe", 5) != 5;
        const QString reason = QString::fromUtf8(std::strerror(errno));
        if (probed >= 0) ::close(probed);
        std::filesystem::remove(probe);
        if (!refused) {
            row.restore();
            qInfo("%s: this user may write there anyway; row skipped", row.name);
            continue;
        }
        open->retype("spaceKeyField", QStringLiteral("ENG"));
        open->click("doneButton");
        QTRY_VERIFY2(banner->isVisible(), row.name);
        row.restore();
        QCOMPARE(open->closes, 0);
        QVERIFY2(banner->message().startsWith(QLatin1String("The settings could not be written, so they are not saved (")),
                 qPrintable(banner->message()));
        QVERIFY2(banner->message().contains(reason), qPrintable(banner->message()));
        QCOMPARE(open->find<QLineEdit>("spaceKeyField")->text(), QStringLiteral("ENG"));
        QVERIFY(open->find<QAbstractButton>("doneButton")->isEnabled());
        QCOMPARE(open->fixture.store->settings().spaceKey, std::string());
        QCOMPARE(open->fixture.storedPreferences(), before);
    }
    open->click("doneButton");
    QTRY_COMPARE(open->closes, 1);
    QVERIFY(json::parse(open->fixture.storedPreferences())["spaceKey"] == "ENG");
}

void SettingsViewTest::connectionTestUsesTheTypedValues() {
    auto open = openSettings(json::object());
    auto* test = open->find<QAbstractButton>("testButton");
    auto* result = open->find<ElidedLabel>("testResultLabel");
    auto* hint = open->find("expiredTokenHint");
    open->retype("apiTokenField", QString());
    QVERIFY(!test->isEnabled());

    const struct {
        const char* token;
        const char* sentence;  // empty: any "Connected…" one
        bool refused;
    } rows[] = {
        {"wrong-token", "Confluence returned HTTP 401. Authentication failed — check your email and API token.", true},
        {"test-token", "Connected as Mia Krystof.", false},
        {"scoped-token", "Connected through the API gateway (scoped token) as Mia Krystof.", false},
    };
    for (const auto& row : rows) {
        open->retype("apiTokenField", QString::fromLatin1(row.token));
        open->fixture.site->setLatency(200ms);
        test->setFocus();
        open->click("testButton");
        QVERIFY(!test->isEnabled() && !result->isVisible());
        QTRY_VERIFY(result->isVisible());
        QVERIFY(test->isEnabled());
        QVERIFY(test->hasFocus());  // a second Space tests again, never toggles the next checkbox
        QCOMPARE(result->text(), QString::fromUtf8(row.sentence));
        QCOMPARE(result->palette().color(QPalette::WindowText),
                 colourOf(row.refused ? Tint::orange : Tint::green, result->palette()));
        QCOMPARE(hint->isVisible(), row.refused);
        if (row.refused) {
            open->click("expiredTokenLink");
            QCOMPARE(open->fixture.opened, std::vector<std::string>{tokenPageURL});
        }
    }
    // Nothing was saved by testing, and the window says requests still go to the site.
    QCOMPARE(open->find<QLabel>("routeLabel")->text(), QStringLiteral("Requests go to the site itself."));
    QCOMPARE(open->fixture.store->settings().apiToken, std::string("test-token"));
    QVERIFY(!json::parse(open->fixture.storedPreferences()).contains("gatewayBaseURL"));

    // "Done" stores the route the test found for exactly these values, and the panel's load takes it.
    open->fixture.site->setLatency(0ms);
    const std::string gatewayPath =
        "/ex/confluence/" + open->fixture.site->withData([](fake::SiteData& data) { return data.cloudId; });
    const auto probes = open->fixture.requestsTo("/_edge/tenant_info").size();
    open->click("doneButton");
    QTRY_COMPARE(open->closes, 1);
    QCOMPARE(json::parse(open->fixture.storedPreferences()).value("gatewayBaseURL", ""),
             open->fixture.site->gatewayURL() + gatewayPath);
    QTRY_COMPARE(open->fixture.store->pages().size(), 4u);  // loaded with a token only the gateway takes
    QCOMPARE(open->fixture.requestsTo("/_edge/tenant_info").size(), probes);  // the load needed no check
    QCOMPARE(open->find<QLabel>("routeLabel")->text(),
             QString::fromStdString("Requests go through the API gateway (scoped token): " +
                                    open->fixture.site->gatewayURL() + gatewayPath));

    // Another site never receives these credentials through the old site's gateway.
    open->retype("baseURLField", QStringLiteral("http://127.0.0.1:1"));
    open->click("doneButton");
    QTRY_COMPARE(open->closes, 2);
    QVERIFY(!json::parse(open->fixture.storedPreferences()).contains("gatewayBaseURL"));
}

void SettingsViewTest::updatesSectionChecksTheTypedFeedAndShowsTheOutcome() {
    auto open = openSettings(json::object());
    const std::string typedFeed = open->fixture.site->baseURL() + feedPath;
    open->fixture.site->serve(feedPath, {200, R"({"version":"1.0","url":"https://example.invalid/F.zip"})", "application/json"});
    open->retype("feedURLField", QString::fromStdString(typedFeed));
    auto* check = open->find<QAbstractButton>("checkNowButton");
    auto* status = open->find<QLabel>("updateStatusLabel");

    open->fixture.site->setLatency(300ms);
    open->click("checkNowButton");
    QCOMPARE(check->text(), QStringLiteral("Checking\u2026"));
    QVERIFY(!check->isEnabled());
    QTRY_VERIFY(check->isEnabled());
    QCOMPARE(check->text(), QStringLiteral("Check now"));
    QCOMPARE(status->text(), QStringLiteral("You're on the latest version (v1.0)."));
    QCOMPARE(open->fixture.requestsTo(feedPath).size(), 1u);
    QCOMPARE(open->fixture.store->settings().updateFeedURL, std::string("https://updates.tessaly.com/folioport/appcast.json"));

    open->fixture.site->serve(feedPath, {200, R"({"version":"9.9","url":"https://example.invalid/F.zip"})", "application/json"});
    open->click("checkNowButton");
    QTRY_COMPARE(status->text(), QStringLiteral("v9.9 available"));

    open->fixture.site->serve(feedPath, {500, "down", "text/plain"});
    open->click("checkNowButton");
    QTRY_VERIFY(open->find<QLabel>("updateErrorLabel")->isVisible());
    QVERIFY(!open->find<QLabel>("updateErrorLabel")->text().isEmpty());
}

void SettingsViewTest::snippetsNameTheExecutableUnquotedAndCopyOneAtATime() {
    const QString path = QStringLiteral("/home/mia/My Apps/Folioport.app/Contents/bin/Folioport");
    QCOMPARE(mcpCommandSnippet(path),
             QStringLiteral("claude mcp add folioport -s project -- /home/mia/My Apps/Folioport.app/Contents/bin/"
                            "Folioport --mcp"));
    QCOMPARE(mcpJsonSnippet(path), QStringLiteral("{\n  \"mcpServers\": {\n    \"folioport\": {\n      \"type\": "
                                                  "\"stdio\",\n      \"command\": \"/home/mia/My "
                                                  "Apps/Folioport.app/Contents/bin/Folioport\",\n      \"args\": "
                                                  "[\"--mcp\"],\n      \"env\": {}\n    }\n  }\n}"));

    auto open = openSettings(json::object(), path);
    auto* content = open->find("mcpContent");
    QVERIFY(!content->isVisible());
    open->click("mcpDisclosure");
    QVERIFY(content->isVisible());
    const QString tools = open->find<QLabel>("toolNamesLabel")->text();
    QCOMPARE(tools, QStringLiteral("Tools: list_spaces, get_page."));

    auto* copyCommand = open->find<QAbstractButton>("copyCommandButton");
    auto* copyJson = open->find<QAbstractButton>("copyJsonButton");
    testing::MovableClock clock(std::chrono::system_clock::now());
    QTest::mouseClick(copyCommand, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), mcpCommandSnippet(path));
    QCOMPARE(copyCommand->text(), QStringLiteral("Copied"));
    clock.advance(700ms);
    QTest::mouseClick(copyJson, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), mcpJsonSnippet(path));
    QCOMPARE(copyCommand->text(), QStringLiteral("Copy"));
    QCOMPARE(copyJson->text(), QStringLiteral("Copied"));
    // The first copy's reset (at 1.5 s) leaves the second alone; the second's resets it at 0.7 + 1.5 s.
    clock.advance(1499ms);
    QCOMPARE(copyJson->text(), QStringLiteral("Copied"));
    clock.advance(1ms);
    QCOMPARE(copyJson->text(), QStringLiteral("Copy"));
}

void SettingsViewTest::launchAtLoginActsAtOnceAndFlipsBackOnFailure() {
    auto open = openSettings(json::object());
    auto* launch = open->find<QCheckBox>("launchAtLoginSwitch");
    QVERIFY(!launch->isChecked());
    launch->click();
    QVERIFY(platform::LoginItem::isEnabled());
    launch->click();
    QVERIFY(!platform::LoginItem::isEnabled());

    // An autostart folder that cannot be created: the switch returns to the real state.
    const auto folder = platform::LoginItem::entryFile().parent_path();
    std::filesystem::remove_all(folder);
    std::ofstream(folder.string()) << "not a folder";
    launch->click();
    QVERIFY(!launch->isChecked());
    QVERIFY(!platform::LoginItem::isEnabled());
    std::filesystem::remove(folder);
    open->click("cancelButton");
    QVERIFY(!platform::LoginItem::isEnabled());
}

void SettingsViewTest::keyboardReachesEveryControlAndScreenReadersCanNameIt() {
    auto open = openSettings({{"spaceKey", "ENG"}});
    open->fixture.site->withData([](fake::SiteData& data) { data.spaces[1].name = "R&D Lab"; });
    open->fixture.store->load(false);
    QTRY_VERIFY(open->find("spaceMenuButton")->isVisible());
    open->click("mcpDisclosure");
    const QStringList expected{"cancelButton",     "doneButton",      "baseURLField",       "emailField",
                               "apiTokenField",    "tokenLink",       "spaceKeyField",      "spaceMenuButton",
                               "pageLimitPicker",  "refreshPicker",   "launchAtLoginSwitch", "testButton",
                               "autoUpdateCheckBox", "feedURLField",  "checkNowButton",     "mcpDisclosure",
                               "assistantsReadOnlyCheckBox", "copyCommandButton", "copyJsonButton"};
    QCOMPARE(testing::keyboardWalk(open->find("cancelButton")), expected);

    open->click("tokenLink");
    QCOMPARE(open->fixture.opened, std::vector<std::string>{"https://id.atlassian.com/manage-profile/security/api-tokens"});

    // Choosing a space from the menu fills the field; Escape is "Cancel".
    auto* menuButton = open->find<QToolButton>("spaceMenuButton");
    const auto actions = menuButton->menu()->actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions[3]->iconText(), QStringLiteral("OPS · R&D Lab"));
    actions[3]->trigger();
    QCOMPARE(open->find<QLineEdit>("spaceKeyField")->text(), QStringLiteral("OPS"));
    actions[0]->trigger();
    QCOMPARE(open->find<QLineEdit>("spaceKeyField")->text(), QString());
    QTest::keyClick(open->find("feedURLField"), Qt::Key_Escape);
    QCOMPARE(open->closes, 1);
    QCOMPARE(open->fixture.store->settings().spaceKey, std::string("ENG"));
}

void KeyringRefusalTest::doneKeepsTheWindowOpenAndSaysTheTokenWasNotStored() {
    auto open = openSettings(json::object());
    open->retype("apiTokenField", QStringLiteral("new-token"));
    open->retype("spaceKeyField", QStringLiteral("ENG"));

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(10);

    open->click("doneButton");
    auto* done = open->find<QAbstractButton>("doneButton");
    QVERIFY(!done->isEnabled());
    QVERIFY(!open->find<QAbstractButton>("cancelButton")->isEnabled());
    QTest::keyClick(open->view.get(), Qt::Key_Escape);  // not while saving
    auto* banner = open->find<ErrorBanner>("saveErrorBanner");
    QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible(), 6000);
    QVERIFY2(longestGap < 300, qPrintable(QStringLiteral("the window stood still for %1 ms").arg(longestGap)));

    QCOMPARE(banner->message(), QStringLiteral("The desktop keyring did not store the API token (it may be locked "
                                               "or missing), so the settings are not saved; unlock it and press "
                                               "Done again."));
    QCOMPARE(open->closes, 0);
    QVERIFY(done->isEnabled());
    QCOMPARE(open->find<QLineEdit>("apiTokenField")->text(), QStringLiteral("new-token"));
}
