#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakeConfluence.h"
#include "updater/Updater.h"

namespace folioport {
namespace {

using namespace std::chrono_literals;
using fake::FakeConfluence;
using Text = std::optional<std::string>;

constexpr const char* feedPath = "/folioport/appcast.json";

std::string feedOffering(const std::string& version) {
    return R"({"version":")" + version + R"(","url":"https://updates.example.invalid/Folioport.zip"})";
}

/// The product's timings unless given, with 1.9 as the running version.
UpdaterOptions runningOneNine(UpdaterOptions options = {}) {
    options.runningVersion = [] { return std::string("1.9"); };
    return options;
}

Text availableVersion(const Updater& updater) {
    return updater.available() ? Text(updater.available()->version) : std::nullopt;
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto started = FakeConfluence::start();
        ASSERT_TRUE(started) << started.error();
        site = std::move(*started);
    }

    std::string feedURL() const { return site->baseURL() + feedPath; }
    void serveFeed(std::string body, int status = 200) {
        site->serve(feedPath, {status, std::move(body), "application/json"});
    }
    long fetches() const {
        return std::ranges::count(site->requests(), std::string(feedPath), &fake::LoggedRequest::path);
    }
    /// Spins the event loop until the check in progress has ended.
    static bool finishes(const Updater& updater) {
        return QTest::qWaitFor([&] { return !updater.isChecking(); }, 5000);
    }

    std::unique_ptr<FakeConfluence> site;
};

TEST_F(UpdaterTest, ManualChecksReportAutomaticChecksStaySilentAndFailuresKeepTheOffer) {
    struct Row {
        const char* name;
        bool manual;
        int status;
        std::string body;
        Text available;
        std::vector<Text> statuses;  // every value announced, in order
        Text errorMessage;
        std::optional<std::string> address = {};  // absent: the site's feed
    };
    const std::string checking = "Checking…";
    const Row rows[] = {
        {"manual 503", true, 503, "busy", "2.0", {checking, {}}, "Update check failed: HTTP 503"},
        {"automatic 503", false, 503, "busy", "2.0", {{}}, {}},
        {"manual 201 with a feed", true, 201, feedOffering("3.0"), "2.0", {checking, {}},
         "Update check failed: HTTP 201"},
        {"manual feed without url", true, 200, R"({"version":"3.0"})", "2.0", {checking, {}},
         R"(The update feed has no "url".)"},
        {"automatic feed without url", false, 200, R"({"version":"3.0"})", "2.0", {{}}, {}},
        {"manual empty address", true, 200, feedOffering("3.0"), "2.0", {checking, {}},
         "Update check failed: bad feed URL", ""},
        {"manual plain http off the loopback address", true, 200, feedOffering("3.0"), "2.0", {checking, {}},
         "Update check failed: the feed address does not start with https://", "http://updates.example.invalid/feed.json"},
        {"manual feed beyond its size limit", true, 200, feedOffering("3.0") + std::string(1 << 20, ' '), "2.0",
         {checking, {}}, "Update check failed: the feed is larger than 1 MB"},
        {"manual newer", true, 200, feedOffering("1.10"), "1.10", {checking, {}}, {}},
        {"automatic newer", false, 200, feedOffering("1.10"), "1.10", {{}}, {}},
        {"manual equal", true, 200, feedOffering("1.9"), {}, {checking, "You're on the latest version (v1.9)."}, {}},
        {"automatic equal", false, 200, feedOffering("1.9"), {}, {{}}, {}},
        {"manual older", true, 200, feedOffering("1.8.99"), {}, {checking, "You're on the latest version (v1.9)."}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Updater updater(runningOneNine({.throttle = 0ms}));
        // Before: 2.0 on offer, and an error message left by a manual check.
        serveFeed(feedOffering("2.0"));
        updater.check(feedURL(), true);
        ASSERT_TRUE(finishes(updater));
        updater.check("", true);
        ASSERT_EQ(availableVersion(updater), "2.0");
        ASSERT_TRUE(updater.errorMessage());

        std::vector<Text> statuses;
        QObject::connect(&updater, &Updater::statusChanged, [&] { statuses.push_back(updater.status()); });
        serveFeed(row.body, row.status);
        const QDateTime before = QDateTime::currentDateTimeUtc();
        updater.check(row.address.value_or(feedURL()), row.manual);
        ASSERT_TRUE(finishes(updater));

        EXPECT_EQ(availableVersion(updater), row.available);
        EXPECT_EQ(statuses, row.statuses);
        EXPECT_EQ(updater.errorMessage(), row.errorMessage);
        ASSERT_TRUE(updater.lastCheck());
        EXPECT_GE(*updater.lastCheck(), before);
    }
}

TEST_F(UpdaterTest, TwoStartsInARowFetchOnce) {
    serveFeed(feedOffering("2.0"));
    site->setLatency(100ms);
    Updater updater(runningOneNine({.launchDelay = 20ms, .period = 1h}));
    updater.start(feedURL(), true);
    updater.start(feedURL(), true);  // its launch check finds the first one running
    ASSERT_TRUE(QTest::qWaitFor([&] { return updater.lastCheck().has_value(); }, 5000));
    updater.start(feedURL(), true);  // its launch check comes within the throttle
    QTest::qWait(200);

    EXPECT_EQ(fetches(), 1);
    EXPECT_EQ(availableVersion(updater), "2.0");
    EXPECT_EQ(updater.status(), std::nullopt);
}

TEST_F(UpdaterTest, TheTimerRepeatsUntilAStartWithoutAutoUpdate) {
    serveFeed(feedOffering("1.9"));
    Updater updater(runningOneNine({.launchDelay = 1h, .period = 30ms, .throttle = 0ms}));
    updater.start(feedURL(), false);
    QTest::qWait(150);
    EXPECT_EQ(fetches(), 0);
    EXPECT_EQ(updater.lastCheck(), std::nullopt);

    updater.start(feedURL(), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fetches() >= 3; }, 5000));
    updater.start(feedURL(), false);
    ASSERT_TRUE(finishes(updater));
    const long seen = fetches();
    QTest::qWait(150);
    EXPECT_EQ(fetches(), seen);

    updater.check(feedURL(), true);  // a manual check still works
    ASSERT_TRUE(finishes(updater));
    EXPECT_EQ(fetches(), seen + 1);
    EXPECT_EQ(updater.status(), "You're on the latest version (v1.9).");
}

TEST_F(UpdaterTest, ASlowSiteKeepsTheLoopTurningFurtherChecksDoNothingAndDestructionAbortsTheFetch) {
    serveFeed(feedOffering("2.0"));
    site->setLatency(300ms);
    auto updater = std::make_unique<Updater>(runningOneNine({.throttle = 0ms}));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);

    updater->check(feedURL(), true);
    updater->check("", true);  // would fail at once if it were not ignored
    updater->check(feedURL(), false);
    EXPECT_EQ(updater->status(), "Checking…");
    EXPECT_EQ(updater->errorMessage(), std::nullopt);
    QTest::qWait(100);
    EXPECT_TRUE(updater->isChecking());
    EXPECT_GT(ticks, 10);

    ASSERT_TRUE(finishes(*updater));
    EXPECT_EQ(fetches(), 1);
    EXPECT_EQ(availableVersion(*updater), "2.0");

    site->setLatency(10s);
    updater->check(feedURL(), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fetches() == 2; }, 5000));
    const auto before = std::chrono::steady_clock::now();
    updater.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    QTest::qWait(20);  // a result posted to the destroyed updater must be dropped
}

TEST_F(UpdaterTest, DismissRemembersTheOfferedVersionUntilAnotherIsDismissed) {
    Updater updater(runningOneNine());
    QSignalSpy announced(&updater, &Updater::dismissedVersionChanged);
    updater.dismiss();
    EXPECT_EQ(announced.count(), 1);
    EXPECT_EQ(updater.dismissedVersion(), std::nullopt);

    serveFeed(feedOffering("2.0"));
    updater.check(feedURL(), true);
    ASSERT_TRUE(finishes(updater));
    updater.dismiss();
    EXPECT_EQ(updater.dismissedVersion(), "2.0");
    EXPECT_EQ(availableVersion(updater), "2.0");

    serveFeed(feedOffering("2.1"));
    updater.check(feedURL(), true);
    ASSERT_TRUE(finishes(updater));
    EXPECT_EQ(availableVersion(updater), "2.1");
    EXPECT_EQ(updater.dismissedVersion(), "2.0");
}

}  // namespace
}  // namespace folioport
