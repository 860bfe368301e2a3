#include <gtest/gtest.h>

#include <plist/plist.h>
#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "Harness.h"
#include "confluence/ConfluenceConfig.h"
#include "confluence/GatewayRoute.h"
#include "platform/Bundle.h"
#include "platform/LoginItem.h"
#include "platform/Posix.h"
#include "platform/Preferences.h"

namespace folioport::platform {
namespace {

using testing::TemporaryDirectory;

std::string contents(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

TEST(ConfluenceConfig, NormalisesTheSiteAddressAndBuildsTheWikiRoot) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {" https://acme.example/wiki/ ", "https://acme.example", "https://acme.example/wiki"},
        {"acme.example", "https://acme.example", "https://acme.example/wiki"},
        {"acme.example/", "https://acme.example", "https://acme.example/wiki"},
        {"https://acme.example/WIKI//", "https://acme.example", "https://acme.example/wiki"},
        {"https://acme.example/wiki/wiki", "https://acme.example/wiki", "https://acme.example/wiki/wiki"},
        {"http://intranet.example/", "http://intranet.example", "http://intranet.example/wiki"},
        {"HTTPS://acme.example", "https://acme.example", "https://acme.example/wiki"},
        {"Http://intranet.example/Wiki", "http://intranet.example", "http://intranet.example/wiki"},
        {"\xC2\xA0\xE3\x80\x80https://acme.example/wiki\xE2\x80\xA8\r\n", "https://acme.example", "https://acme.example/wiki"},
        {"acme example", "https://acme example", "https://acme example/wiki"},
        {"/", "", ""}, {" \t\n ", "", ""}, {"", "", ""}};
    for (const auto& [base, normalized, wiki] : cases) {
        const ConfluenceConfig config{.baseURL = base, .email = {}, .apiToken = {}, .gatewayBaseURL = {}};
        EXPECT_EQ(config.normalizedBaseURL(), normalized) << base;
        EXPECT_EQ(config.wikiURL(), wiki) << base;
    }
    EXPECT_TRUE((ConfluenceConfig{"acme.example", " ", "t", ""}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{" / ", "a@acme.example", "t", ""}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{"acme.example", "", "t", ""}.isComplete()));
    EXPECT_FALSE((ConfluenceConfig{"acme.example", "a@acme.example", "", ""}.isComplete()));
}

TEST(GatewayRoute, OnlyTheGatewaysOwnFormIsUsedAndARouteStaysWithItsSite) {
    // What a stored "gatewayBaseURL" routes the credentials to: the gateway's form, byte for byte, or the site.
    const std::string gateway = "https://api.atlassian.com/ex/confluence/";
    const std::string testRoot = "http://127.0.0.1:28444";
    const std::tuple<std::string, std::string, std::string> stored[] = {
        {"", std::string(productionGatewayRoot), ""},
        {gateway + "0f3a9c2e-5b1d-4e8f-9a7c-1d2e3f4a5b6c", std::string(productionGatewayRoot),
         gateway + "0f3a9c2e-5b1d-4e8f-9a7c-1d2e3f4a5b6c"},
        {gateway + std::string(64, 'a'), std::string(productionGatewayRoot), gateway + std::string(64, 'a')},
        {testRoot + "/ex/confluence/x", testRoot, testRoot + "/ex/confluence/x"},  // a test's fake gateway
        // Everything else goes to the site: another host or scheme, and every way to bend the form.
        {testRoot + "/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {"http://127.0.0.1:28445/ex/confluence/x", testRoot, ""},
        {"http://api.atlassian.com/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {"https://api.atlassian.com.evil.example/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {"https://user@api.atlassian.com/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {"https://API.atlassian.com/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {"https://api.atlassian.com:8443/ex/confluence/x", std::string(productionGatewayRoot), ""},
        {gateway, std::string(productionGatewayRoot), ""},
        {gateway + std::string(65, 'a'), std::string(productionGatewayRoot), ""},
        {gateway + "x/", std::string(productionGatewayRoot), ""},
        {gateway + "x/../../../evil", std::string(productionGatewayRoot), ""},
        {gateway + "%2e%2e", std::string(productionGatewayRoot), ""},
        {gateway + "x?y", std::string(productionGatewayRoot), ""},
        {gateway + "x#y", std::string(productionGatewayRoot), ""},
        {" " + gateway + "x", std::string(productionGatewayRoot), ""},
    };
    for (const auto& [value, root, used] : stored) {
        SCOPED_TRACE(value + " under " + root);
        const StoredRoute route = storedRoute(value, root);
        EXPECT_EQ(route.gatewayBaseURL, used);
        EXPECT_EQ(route.ignored.has_value(), !value.empty() && used.empty());
    }
    EXPECT_EQ(storedRoute("http://127.0.0.1:28444/ex/confluence/x").ignored,
              "ignoring \"gatewayBaseURL\" in the preferences: it is not the API gateway's address "
              "https://api.atlassian.com/ex/confluence/<cloud id>, so requests go to the site itself");

    // Which route "Done" stores: a test's finding for exactly the typed values, else none for another site,
    // else the stored one.
    const std::string route = gateway + "abc";
    const ConfluenceConfig site{"acme.atlassian.net", "mia@example.com", "scoped", ""};
    const ConfluenceConfig routed{"acme.atlassian.net", "mia@example.com", "scoped", route};
    const ConfluenceConfig other{"globex.atlassian.net", "mia@example.com", "scoped", ""};
    const ConfluenceConfig otherToken{"acme.atlassian.net", "mia@example.com", "classic", ""};
    const struct {
        const char* name;
        ConfluenceConfig typed, stored, tested;
        std::optional<std::string> testedRoute;
        std::string stores;
    } decisions[] = {
        {"a test of these values found the gateway", site, site, site, route, route},
        {"a test of these values found the site takes them", site, routed, site, "", ""},
        {"a test decided nothing", site, routed, site, std::nullopt, route},
        {"the test was of another token", site, site, otherToken, route, ""},
        {"the test was of another token, the stored route stays", site, routed, otherToken, "", route},
        {"another site, untested", other, routed, ConfluenceConfig{}, std::nullopt, ""},
        {"another site after a test of the old one", other, routed, site, route, ""},
        {"the same site written otherwise", {"https://ACME.atlassian.net/wiki/", "mia@example.com", "scoped", ""},
         routed, ConfluenceConfig{}, std::nullopt, ""},
        {"the same site with a trailing slash", {"acme.atlassian.net/", "mia@example.com", "scoped", ""}, routed,
         ConfluenceConfig{}, std::nullopt, route},
    };
    for (const auto& row : decisions)
        EXPECT_EQ(routeToStore(row.typed, row.stored, row.tested, row.testedRoute), row.stores) << row.name;
}

TEST(Bundle, ReadsOnlyStringValuesFromXmlAndBinaryPlists) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleShortVersionString", plist_new_string("2.3 β"));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bytes, &length);
    const std::string binary(bytes, length);
    std::free(bytes);
    plist_free(dict);
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {xml + "<key>CFBundleShortVersionString</key><string>2.3</string></dict></plist>", "2.3"},
        {binary, "2.3 β"},
        {xml + "<key>CFBundleShortVersionString</key><integer>2</integer></dict></plist>", std::nullopt},
        {xml + "<key>CFBundleVersion</key><string>7</string></dict></plist>", std::nullopt},
        {R"(<?xml version="1.0"?><plist version="1.0"><string>2.3</string></plist>)", std::nullopt},
        {"bplist00\x01\x02garbage", std::nullopt},
        {"", std::nullopt}};
    TemporaryDirectory directory;
    for (const auto& [plist, version] : cases) {
        std::ofstream(directory.path / "Info.plist", std::ios::binary) << plist;
        EXPECT_EQ(Bundle::readInfoString(directory.path / "Info.plist", "CFBundleShortVersionString"), version) << plist;
    }
}

TEST(LoginItem, AnAutostartEntryThatIsWrittenOnceAndDeleted) {
    TemporaryDirectory config;
    ::setenv("XDG_CONFIG_HOME", config.path.c_str(), 1);
    EXPECT_FALSE(LoginItem::isEnabled());
    ASSERT_TRUE(LoginItem::setEnabled(true, {"/home/a b/$x\"y\\z%u/Folioport"}));
    EXPECT_EQ(LoginItem::entryFile(), config.path / "autostart" / "com.tessaly.folioport.desktop");
    EXPECT_TRUE(LoginItem::isEnabled());
    // Reserved characters of the Exec key are escaped, then the backslashes once more.
    EXPECT_NE(contents(LoginItem::entryFile()).find("\nExec=\"/home/a b/\\\\$x\\\\\"y\\\\\\\\z%%u/Folioport\"\n"),
              std::string::npos) << contents(LoginItem::entryFile());
    std::ofstream(LoginItem::entryFile(), std::ios::app) << "# edited by the user\n";
    EXPECT_TRUE(LoginItem::setEnabled(true, {"/elsewhere/Folioport"}));
    EXPECT_NE(contents(LoginItem::entryFile()).find("# edited by the user"), std::string::npos) << "rewritten";
    ASSERT_TRUE(LoginItem::setEnabled(false));
    EXPECT_FALSE(std::filesystem::exists(LoginItem::entryFile()));
    EXPECT_TRUE(LoginItem::setEnabled(false));

    std::ofstream(LoginItem::entryFile()) << "[Desktop Entry]\nType=Application\nHidden=true\n";
    EXPECT_FALSE(LoginItem::isEnabled());
    EXPECT_TRUE(LoginItem::setEnabled(false));
    EXPECT_TRUE(std::filesystem::exists(LoginItem::entryFile())) << "disabling an off entry does nothing";
    ASSERT_TRUE(LoginItem::setEnabled(true, {"/usr/bin/Folioport"}));
    EXPECT_TRUE(LoginItem::isEnabled());

    // An installed copy starts at login through the launcher, which puts back a bundle an update cut short left
    // at .old; without the launcher, or without a bundle, the executable itself.
    ::setenv("XDG_DATA_HOME", (config.path / "data").c_str(), 1);
    const std::filesystem::path bundle = "/home/u/Applications/Folioport.app";
    EXPECT_EQ(LoginItem::startCommand(bundle), std::vector<std::string>{runningExecutable().string()});
    std::filesystem::create_directories(config.path / "data/folioport");
    std::ofstream(config.path / "data/folioport/launch.sh") << "#!/bin/sh\n";
    EXPECT_EQ(LoginItem::startCommand(bundle),
              (std::vector<std::string>{"/bin/sh", (config.path / "data/folioport/launch.sh").string(), bundle.string()}));
    EXPECT_EQ(LoginItem::startCommand(std::nullopt), std::vector<std::string>{runningExecutable().string()});
    ASSERT_TRUE(LoginItem::setEnabled(false));
    ASSERT_TRUE(LoginItem::setEnabled(true, LoginItem::startCommand(bundle)));
    const std::string throughLauncher = contents(LoginItem::entryFile());
    EXPECT_NE(throughLauncher.find("\nExec=\"/bin/sh\" \"" + (config.path / "data/folioport/launch.sh").string() +
                                   "\" \"/home/u/Applications/Folioport.app\"\n"),
              std::string::npos) << throughLauncher;
    // An entry an older version wrote, starting the executable directly, goes through the launcher from the next
    // start on, the user's own lines kept; one that is off, or starts something else, stays as it is.
    ASSERT_TRUE(LoginItem::setEnabled(false));
    ASSERT_TRUE(LoginItem::setEnabled(true, {runningExecutable().string()}));
    std::ofstream(LoginItem::entryFile(), std::ios::app) << "X-GNOME-Autostart-Delay=10\n";
    for (int start = 0; start < 2; ++start) {
        EXPECT_TRUE(LoginItem::startThroughLauncher(bundle));
        EXPECT_EQ(contents(LoginItem::entryFile()), throughLauncher + "X-GNOME-Autostart-Delay=10\n");
    }
    for (const std::string& kept : {"[Desktop Entry]\nHidden=true\nExec=\"" + runningExecutable().string() + "\"\n",
                                    "[Desktop Entry]\nExec=\"" + runningExecutable().string() + "\" --demo\n"}) {
        std::ofstream(LoginItem::entryFile()) << kept;
        EXPECT_TRUE(LoginItem::startThroughLauncher(bundle));
        EXPECT_EQ(contents(LoginItem::entryFile()), kept);
    }
    ::unsetenv("XDG_DATA_HOME");

    ::setenv("XDG_CONFIG_HOME", (config.path / "autostart" / "com.tessaly.folioport.desktop").c_str(), 1);
    EXPECT_FALSE(LoginItem::setEnabled(true, {"/usr/bin/Folioport"})) << "a write failure is reported";
    EXPECT_FALSE(LoginItem::isEnabled());
}

TEST(Preferences, TypedReadsFallBackPerKey) {
    const std::tuple<std::string, std::int64_t, std::int64_t, bool, std::string> cases[] = {
        {"{}", 50, 30, true, ""},
        {R"({"pageLimit":12,"refreshMinutes":5,"autoUpdate":false,"baseURL":"acme.example"})", 12, 5, false, "acme.example"},
        {R"({"pageLimit":0,"refreshMinutes":0})", 50, 0, true, ""},  // a zero page limit means the default
        {R"({"pageLimit":"12","refreshMinutes":"5","autoUpdate":"no","baseURL":42})", 50, 30, true, ""},
        {R"({"pageLimit":12.5,"refreshMinutes":1.0,"autoUpdate":1})", 50, 30, true, ""},
        {R"({"refreshMinutes":18446744073709551615})", 50, 30, true, ""},
        {R"({"pageLimit":12,"autoUpdate":fal)", 50, 30, true, ""},
        {R"([{"pageLimit":12}])", 50, 30, true, ""},
        {std::string("\x00\xff{", 3), 50, 30, true, ""}};
    TemporaryDirectory directory;
    for (const auto& [stored, pageLimit, refreshMinutes, autoUpdate, baseURL] : cases) {
        SCOPED_TRACE(stored);
        std::ofstream(directory.path / "preferences.json") << stored;
        const auto preferences = Preferences::read(directory.path / "preferences.json");
        EXPECT_EQ(preferences.integer(IntegerPreference::pageLimit), pageLimit);
        EXPECT_EQ(preferences.integer(IntegerPreference::refreshMinutes), refreshMinutes);
        EXPECT_EQ(preferences.boolean(BooleanPreference::autoUpdate), autoUpdate);
        EXPECT_EQ(preferences.string(StringPreference::baseURL), baseURL);
    }
    // The assistants' read-only switch fails closed: any value but false, in any copy of the key, turns it on,
    // with one line on why when the file does not say true outright.
    const std::string file = (directory.path / "preferences.json").string();
    const std::tuple<std::string, bool, std::vector<std::string>> switches[] = {
        {R"({"assistantsReadOnly":false})", false, {}},
        {R"({"assistantsReadOnly":true})", true, {}},
        {R"({"assistantsReadOnly":"true"})", true, {file + R"( holds "assistantsReadOnly" as something other than true or false, so it reads as true)"}},
        {R"({"assistantsReadOnly":1})", true, {file + R"( holds "assistantsReadOnly" as something other than true or false, so it reads as true)"}},
        {R"({"assistantsReadOnly":null,"autoUpdate":false})", true, {file + R"( holds "assistantsReadOnly" as something other than true or false, so it reads as true)"}},
        {R"({"assistantsReadOnly":[true]})", true, {file + R"( holds "assistantsReadOnly" as something other than true or false, so it reads as true)"}},
        {R"({"assistantsReadOnly":true,"assistantsReadOnly":false})", true, {file + R"( holds "assistantsReadOnly" more than once, not always false, so it reads as true)"}},
        {R"({"assistantsReadOnly":false,"assistantsReadOnly":false})", false, {}},
        {R"({"assistantsReadOnly":false,"assistantsReadOnly":true})", true, {}},
        {R"({"nested":{"assistantsReadOnly":true},"list":["assistantsReadOnly",true]})", false, {}},
    };
    for (const auto& [stored, readOnly, doubts] : switches) {
        SCOPED_TRACE(stored);
        std::ofstream(file) << stored;
        auto reading = Preferences::inspect(file);
        EXPECT_EQ(reading.preferences.boolean(BooleanPreference::assistantsReadOnly), readOnly);
        EXPECT_EQ(reading.doubts, doubts);
        reading.preferences.set(BooleanPreference::assistantsReadOnly, false);  // the settings window's choice wins
        EXPECT_FALSE(reading.preferences.boolean(BooleanPreference::assistantsReadOnly));
    }
    const auto missing = Preferences::inspect(directory.path / "absent" / "preferences.json");
    EXPECT_EQ(missing.problem, std::nullopt);
    EXPECT_EQ(missing.preferences.string(StringPreference::email), "");
    EXPECT_FALSE(missing.preferences.boolean(BooleanPreference::assistantsReadOnly));
    EXPECT_TRUE(missing.preferences.string(StringPreference::updateFeedURL).starts_with("https://"));
    EXPECT_TRUE(missing.preferences.string(StringPreference::updateFeedURL).ends_with("/folioport/appcast.json"));
}

TEST(Preferences, OnlyABoundedRegularFileIsReadAndNothingWaits) {
    TemporaryDirectory directory;
    const auto file = directory.path / "preferences.json";
    const std::string notRegular = " is not a regular file, so it was not read";
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { ::mkfifo(file.c_str(), 0600); }, notRegular},  // no writer: a blocking open would wait for ever
        {[&] { std::filesystem::create_symlink("/dev/zero", file); }, notRegular},
        {[&] { std::filesystem::create_directory(file); }, notRegular},
        {[&] { std::ofstream(file) << R"({"baseURL":")" << std::string(Preferences::maxFileBytes, 'a') << R"("})"; },
         " is larger than 1 MB, so it was not read"},
        {[&] { std::ofstream(file) << std::string(600, '[') << std::string(600, ']'); }, " nests deeper than 512 levels"},
        {[&] { std::ofstream(file) << R"([{"baseURL":"acme.example"}])"; }, " holds no JSON object"},
    };
    for (const auto& [make, problem] : rows) {
        SCOPED_TRACE(problem);
        std::filesystem::remove_all(file);
        make();
        const auto reading = Preferences::inspect(file);
        EXPECT_EQ(reading.problem, file.string() + problem);
        EXPECT_EQ(reading.preferences.string(StringPreference::baseURL), "");
    }
}

TEST(Preferences, WriteKeepsUnknownKeysAndIsPrivateAndAtomic) {
    TemporaryDirectory directory;
    const auto file = directory.path / "preferences.json";
    std::ofstream(file) << R"({"someoneElse":{"x":[1,2]},"pageLimit":3})";
    auto preferences = Preferences::read(file);
    preferences.set(StringPreference::spaceKey, "ENG");
    preferences.set(IntegerPreference::pageLimit, 0);
    preferences.set(BooleanPreference::autoUpdate, false);
    preferences.set(BooleanPreference::assistantsReadOnly, false);  // off, as by default: not written
    ASSERT_TRUE(preferences.write(file).has_value());
    const nlohmann::json written{{"someoneElse", {{"x", {1, 2}}}}, {"pageLimit", 0}, {"spaceKey", "ENG"}, {"autoUpdate", false}};
    EXPECT_EQ(nlohmann::json::parse(contents(file)), written);
    // Stored while on; turned off again, the key goes, leaving the file as if it had never been on.
    preferences.set(BooleanPreference::assistantsReadOnly, true);
    ASSERT_TRUE(preferences.write(file).has_value());
    EXPECT_TRUE(Preferences::read(file).boolean(BooleanPreference::assistantsReadOnly));
    preferences.set(BooleanPreference::assistantsReadOnly, false);
    ASSERT_TRUE(preferences.write(file).has_value());
    EXPECT_EQ(nlohmann::json::parse(contents(file)), written);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path), {}), 1) << "temporary file left";

    // A reader never sees a half-written file while another writer replaces it.
    Preferences first, second;
    first.set(StringPreference::baseURL, std::string(200000, 'a'));
    first.set(IntegerPreference::pageLimit, 1);
    second.set(StringPreference::baseURL, std::string(300000, 'b'));
    second.set(IntegerPreference::pageLimit, 2);
    ASSERT_TRUE(first.write(file).has_value());
    std::atomic<bool> done = false;
    std::jthread writer([&] {
        for (int round = 0; round < 300; ++round) EXPECT_TRUE((round % 2 ? first : second).write(file).has_value());
        done = true;
    });
    for (int reads = 0; !done || reads < 100; ++reads) {
        const auto seen = Preferences::read(file);
        const auto limit = seen.integer(IntegerPreference::pageLimit);
        ASSERT_TRUE(limit == 1 || limit == 2) << "read a partial file after " << reads << " reads";
        ASSERT_EQ(seen.string(StringPreference::baseURL).size(), limit == 1 ? 200000u : 300000u);
    }
}

TEST(Preferences, WriteGoesThroughALinkAndClearsWhatAKilledWriteLeft) {
    TemporaryDirectory directory;
    std::filesystem::create_directories(directory.path / "dotfiles");
    std::filesystem::create_directories(directory.path / "config");
    const auto target = directory.path / "dotfiles" / "folioport.json";
    const auto link = directory.path / "config" / "preferences.json";
    std::filesystem::create_symlink("../dotfiles/folioport.json", link);  // dangling until the first write
    const auto temporary = [&](const std::string& writer) { return target.string() + ".tmp." + writer + ".Ab12Cd"; };
    for (const char* writer : {"2147483647", "1"}) std::ofstream(temporary(writer)) << "{";  // a dead and a live writer
    std::ofstream(target.string() + ".bak") << "{}";

    for (const char* key : {"ENG", "OPS"}) {
        Preferences preferences = Preferences::read(link);
        preferences.set(StringPreference::spaceKey, key);
        ASSERT_TRUE(preferences.write(link).has_value());
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(Preferences::read(link).string(StringPreference::spaceKey), key);
    }
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_FALSE(std::filesystem::exists(temporary("2147483647")));
    EXPECT_TRUE(std::filesystem::exists(temporary("1")));
    EXPECT_TRUE(std::filesystem::exists(target.string() + ".bak"));
}

}  // namespace
}  // namespace folioport::platform
