#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "FakeConfluence.h"
#include "KeyringControl.h"
#include "platform/Keychain.h"
#include "state/AppStore.h"

namespace folioport {
namespace {

using namespace std::chrono_literals;
using fake::Fault;
using nlohmann::json;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

constexpr auto minute = 5ms;  // one refresh "minute" in these tests
const std::string userRequest = "GET /wiki/rest/api/user/current";
const std::string spacesRequest = "GET /wiki/api/v2/spaces?status=current&sort=name&limit=250";
/// What a test's wait for a store's answer gives when none came.
const ConfluenceError noAnswer = ConfluenceError::network("no answer");

std::string pagesRequest(const std::string& spaceId) {
    return "GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=50" +
           (spaceId.empty() ? "" : "&space-id=" + spaceId);
}

/// Spins the event loop until `done` holds; false after five seconds.
bool eventually(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }

/// Saves through the store and answers what it stored.
StoredSettings::SaveOutcome saveAndWait(AppStore& store, StoredSettings settings,
                                        StoredSettings::TokenWrite token = StoredSettings::TokenWrite::write) {
    std::optional<StoredSettings::SaveOutcome> outcome;
    store.saveSettings(std::move(settings), [&](StoredSettings::SaveOutcome saved) { outcome = saved; }, token);
    EXPECT_TRUE(eventually([&] { return outcome.has_value(); }));
    return outcome.value_or(StoredSettings::SaveOutcome{});
}

void loadAndWait(AppStore& store, bool silent) {
    bool ended = false;
    store.load(silent, [&] { ended = true; });
    ASSERT_TRUE(eventually([&] { return ended; }));
}

/// One text of every page, in order.
Lines eachPage(const std::vector<Page>& pages, const std::function<std::string(const Page&)>& text) {
    Lines texts;
    for (const Page& page : pages) texts.push_back(text(page));
    return texts;
}

/// The load-related change signals of a store, by name, in the order emitted.
struct Emissions {
    explicit Emissions(AppStore& store) {
        const std::pair<const char*, void (AppStore::*)()> changes[] = {
            {"isLoading", &AppStore::isLoadingChanged}, {"currentUser", &AppStore::currentUserChanged},
            {"spaces", &AppStore::spacesChanged},       {"pages", &AppStore::pagesChanged},
            {"error", &AppStore::errorChanged}};
        for (auto [name, change] : changes) QObject::connect(&store, change, [this, name] { names.push_back(name); });
    }
    Lines names;
};

class AppStoreTest : public ::testing::Test {
protected:
    void SetUp() override { startSite(fake::SiteData::minimal()); }

    void startSite(fake::SiteData data) {
        site.reset();
        auto started = fake::FakeConfluence::start(std::move(data), {.gatewayPort = 0});
        ASSERT_TRUE(started) << started.error();
        site = std::move(*started);
    }

    /// Stores these preferences and `token` (none: the keyring is left as it is), then builds a store on them
    /// that reports to the test's seams.
    std::unique_ptr<AppStore> storeWith(const json& stored, std::optional<std::string> token = "test-token",
                                        std::chrono::milliseconds refreshMinute = minute) {
        std::ofstream(file()) << stored.dump();
        if (token) {
            EXPECT_TRUE(platform::Keychain::set(*token, StoredSettings::tokenAccount));
        }
        auto store = std::make_unique<AppStore>(AppStoreOptions{
            .preferencesFile = file(),
            .minute = refreshMinute,
            .now = [this] { return clock; },
            .copyText = [this](const std::string& text) { copied.push_back(text); },
            .openURL = [this](const QUrl& url) { opened.push_back(url.toString().toStdString()); },
            .gatewayRoot = site->gatewayURL(),
            .pageCallTime = pageCallTime,
            .draftsFolder = dir.filePath("drafts").toStdString()});
        EXPECT_TRUE(eventually([&] { return !store->isReadingSettings(); }));
        return store;
    }
    /// The fake site's address and account, without background refresh unless `more` says otherwise.
    json connected(const json& more = json::object()) const {
        json stored = {{"baseURL", site->baseURL()}, {"email", "mia@example.com"}, {"refreshMinutes", 0}};
        stored.update(more);
        return stored;
    }
    json storedPreferences() const { return json::parse(std::ifstream(file()), nullptr, false); }
    std::filesystem::path file() const { return dir.filePath("preferences.json").toStdString(); }

    long count(const std::string& prefix) const {
        return std::ranges::count_if(site->requestLines(), [&](const std::string& line) { return line.starts_with(prefix); });
    }

    QTemporaryDir dir;
    std::unique_ptr<fake::FakeConfluence> site;
    Lines copied, opened;
    std::chrono::milliseconds pageCallTime = CallLimits{}.time;  // of the stores built next
    QDateTime clock{QDate(2026, 12, 7), QTime(13, 57)};
};

TEST_F(AppStoreTest, ConstructionReadsEachSettingWithItsFallbackAndRefreshesOnlyWhenComplete) {
    struct Row {
        const char* name;
        json stored;  // on top of the site's address and account, except for a fresh installation
        bool fresh;
        std::int64_t pageLimit, refreshMinutes;
        bool autoUpdate, refreshes;
    };
    const Row rows[] = {
        // The fallbacks of values that are missing or of the wrong type are the preferences file's table.
        {"fresh installation", json::object(), true, 50, 30, true, false},
        {"stored values", {{"pageLimit", 7}, {"refreshMinutes", 5}, {"autoUpdate", false}}, false, 7, 5, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        site->clearRequests();
        auto store = storeWith(row.fresh ? row.stored : connected(row.stored), row.fresh ? "" : "test-token");
        EXPECT_EQ(store->settings().pageLimit, row.pageLimit);
        EXPECT_EQ(store->settings().refreshMinutes, row.refreshMinutes);
        EXPECT_EQ(store->settings().autoUpdate, row.autoUpdate);
        EXPECT_TRUE(store->settings().updateFeedURL.ends_with("/folioport/appcast.json"));
        EXPECT_EQ(store->settings().apiToken, row.fresh ? "" : "test-token");
        if (row.fresh) {
            EXPECT_EQ(store->settings().baseURL + store->settings().email + store->settings().spaceKey, "");
        }
        QTest::qWait(400);  // 30 minutes are 150 ms here
        EXPECT_EQ(count(userRequest) > 0, row.refreshes);
    }
}

TEST_F(AppStoreTest, SavingStopsTheRefreshEvenMidLoadAndARestartWaitsOneFullPeriod) {
    struct Row {
        const char* name;
        std::function<void(StoredSettings&)> stop;
    };
    const Row rows[] = {
        {"empty token", [](StoredSettings& settings) { settings.apiToken = ""; }},
        {"period 0", [](StoredSettings& settings) { settings.refreshMinutes = 0; }},
    };
    const auto period = 40 * minute;
    site->setLatency(100ms);  // so that each save below finds a load in flight
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        site->clearRequests();
        auto started = Clock::now();
        auto store = storeWith(connected({{"refreshMinutes", 40}}));
        ASSERT_TRUE(eventually([&] { return count(userRequest) == 1; }));
        EXPECT_GE(Clock::now() - started, period * 0.9);  // coarse timers may fire 5 % early

        StoredSettings settings = store->settings();
        row.stop(settings);
        EXPECT_TRUE(saveAndWait(*store, settings).tokenStored);
        QTest::qWait(static_cast<int>((5 * period).count()));
        EXPECT_EQ(count(userRequest), 1);

        settings.apiToken = "test-token";
        settings.refreshMinutes = 40;
        started = Clock::now();
        EXPECT_TRUE(saveAndWait(*store, settings).tokenStored);
        ASSERT_TRUE(eventually([&] { return count(userRequest) == 2; }));
        EXPECT_GE(Clock::now() - started, period * 0.9);
        EXPECT_EQ(storedPreferences(), connected({{"spaceKey", ""},
                                                  {"pageLimit", 50},
                                                  {"refreshMinutes", 40},
                                                  {"autoUpdate", true},
                                                  {"updateFeedURL", store->settings().updateFeedURL}}));
        EXPECT_EQ(platform::Keychain::get(StoredSettings::tokenAccount), "test-token");
    }
}

TEST_F(AppStoreTest, PreferencesEditedOutsideAreTakenUpByEventAndUsedByTheNextLoad) {
    auto store = storeWith(connected());
    const auto replaceByRename = [this](const json& stored) {
        const std::string edited = file().string() + ".edited";
        std::ofstream(edited) << stored.dump();
        std::filesystem::rename(edited, file());
    };
    const struct {
        const char* name;
        std::function<void(const json&)> write;
    } rows[] = {
        {"replaced by a rename, as editors save", replaceByRename},
        {"overwritten in place", [this](const json& stored) { std::ofstream(file()) << stored.dump(); }},
        {"replaced again, the old watch gone with the old file", replaceByRename},
    };
    std::int64_t limit = 2;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.write(connected({{"pageLimit", limit}}));
        ASSERT_TRUE(eventually([&] { return store->settings().pageLimit == limit; }));
        site->clearRequests();
        loadAndWait(*store, true);
        EXPECT_EQ(count("GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=" + std::to_string(limit)), 1);
        ++limit;
    }
    EXPECT_EQ(store->settings().apiToken, "test-token");

    // A new period takes effect without a save.
    site->clearRequests();
    replaceByRename(connected({{"refreshMinutes", 40}}));
    EXPECT_TRUE(eventually([&] { return count(userRequest) > 0; }));

    // The events of the store's own write never bring back what it replaced.
    StoredSettings settings = store->settings();
    settings.pageLimit = 25;
    settings.refreshMinutes = 0;
    EXPECT_EQ(saveAndWait(*store, settings).preferencesError, std::nullopt);
    QTest::qWait(300);
    EXPECT_EQ(store->settings().pageLimit, 25);
    EXPECT_EQ(storedPreferences().value("pageLimit", 0), 25);
}

TEST_F(AppStoreTest, EveryLoadResolvesTheSpaceKeyAndPublishesUserSpacesThenPages) {
    struct Row {
        const char* name;
        std::string spaceKey;
        Lines requestsAfterSpaces;  // of one load
        Lines pageIds;
        std::optional<ConfluenceError> error;
    };
    const Row rows[] = {
        {"lower-case key, no lookup", "eng", {pagesRequest("65537")}, {"98306", "98307", "98305"}},
        {"blanks list every space", " \t", {pagesRequest("")}, {"98308", "98306", "98307", "98305"}},
        {"padded key, looked up trimmed", "OPS ", {"GET /wiki/api/v2/spaces?keys=OPS&limit=1", pagesRequest("65538")},
         {"98308"}},
        {"unknown key, looked up every time", "NOPE", {"GET /wiki/api/v2/spaces?keys=NOPE&limit=1"}, {},
         ConfluenceError::notFound("No space with key 'NOPE'.")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        site->clearRequests();
        auto store = storeWith(connected({{"spaceKey", row.spaceKey}}));
        Emissions emitted(*store);
        loadAndWait(*store, false);
        loadAndWait(*store, false);

        Lines expected;
        for (int load = 0; load < 2; ++load) {
            expected.insert(expected.end(), {userRequest, spacesRequest});
            expected.insert(expected.end(), row.requestsAfterSpaces.begin(), row.requestsAfterSpaces.end());
        }
        Lines sent = site->requestLines();
        std::ranges::sort(expected);
        std::ranges::sort(sent);  // user and spaces go out at the same time
        EXPECT_EQ(sent, expected);
        Lines oneLoad = {"isLoading", "currentUser", "spaces", "pages", "error", "isLoading"};
        if (row.error) std::erase(oneLoad, "pages");
        Lines twoLoads = oneLoad;
        twoLoads.insert(twoLoads.end(), oneLoad.begin(), oneLoad.end());
        EXPECT_EQ(emitted.names, twoLoads);
        EXPECT_EQ(store->currentUser().value_or(ConfluenceUser{}).displayName, "Mia Krystof");
        EXPECT_EQ(store->spaces().size(), 2u);
        EXPECT_EQ(eachPage(store->pages(), &Page::id), row.pageIds);
        EXPECT_EQ(store->error(), row.error);
        EXPECT_FALSE(store->isLoading());
    }
}

TEST_F(AppStoreTest, FailedLoadsKeepWhatWasPublishedAndOnlyNonSilentOnesSpeak) {
    auto store = storeWith(connected());
    site->inject({.status = 500, .body = "boom", .pathPrefix = "/wiki/api/v2/pages"});
    loadAndWait(*store, false);
    EXPECT_TRUE(store->currentUser());
    EXPECT_EQ(store->spaces().size(), 2u);
    EXPECT_TRUE(store->pages().empty());
    EXPECT_EQ(store->error(), ConfluenceError::http(500, "boom"));

    Emissions emitted(*store);
    site->inject({.status = 503, .pathPrefix = "/wiki/rest/api/user"});
    loadAndWait(*store, true);
    EXPECT_TRUE(emitted.names.empty());
    EXPECT_EQ(store->error(), ConfluenceError::http(500, "boom"));

    loadAndWait(*store, true);
    EXPECT_EQ(store->error(), std::nullopt);
    EXPECT_EQ(store->pages().size(), 4u);

    // A failed user request ends the load at once, though the spaces request in flight would take 5 s.
    site->setLatency(5s, "/wiki/api/v2/spaces");
    site->setLatency(200ms, "/wiki/rest/api/user/current");  // so that the spaces request is on its way
    site->inject({.status = 401, .pathPrefix = "/wiki/rest/api/user"});
    site->clearRequests();
    const auto started = Clock::now();
    loadAndWait(*store, false);
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(count(spacesRequest), 1);
    EXPECT_EQ(store->spaces().size(), 2u);
    EXPECT_EQ(store->pages().size(), 4u);
    ASSERT_TRUE(store->error());
    EXPECT_TRUE(store->error()->refusesCredentials());
    EXPECT_FALSE(store->isLoading());
}

TEST_F(AppStoreTest, TheGatewayIsChosenOnlyAfterDoneAndItsKeyIsStoredOnlyWhileOneIsInUse) {
    auto store = storeWith(connected(), "scoped-token");
    const std::string gateway =
        site->gatewayURL() + "/ex/confluence/" + site->withData([](fake::SiteData& data) { return data.cloudId; });
    const json before = storedPreferences();

    // An ordinary load that the site refuses looks for no other route; the refusal is the expired-token case.
    loadAndWait(*store, false);
    ASSERT_TRUE(store->error());
    EXPECT_TRUE(store->error()->refusesCredentials());
    EXPECT_EQ(count("GET /_edge/") + count("GET /ex/"), 0);

    // A test finds the gateway but stores nothing.
    std::optional<ConnectionCheck> tested;
    store->testConnection(store->config(), [&](ConnectionCheck check) { tested = std::move(check); });
    ASSERT_TRUE(eventually([&] { return tested.has_value(); }));
    EXPECT_EQ(tested->gatewayBaseURL, gateway);
    EXPECT_EQ(storedPreferences(), before);
    EXPECT_EQ(store->settings().gatewayBaseURL, "");

    // The load after "Done" meets the refusal, stores the gateway alone and loads through it.
    bool ended = false;
    site->clearRequests();
    store->loadDecidingRoute([&] { ended = true; });
    ASSERT_TRUE(eventually([&] { return ended; }));
    EXPECT_FALSE(store->isLoading());
    EXPECT_EQ(store->error(), std::nullopt);
    EXPECT_EQ(store->pages().size(), 4u);
    EXPECT_EQ(store->settings().gatewayBaseURL, gateway);
    json withGateway = before;
    withGateway["gatewayBaseURL"] = gateway;
    EXPECT_EQ(storedPreferences(), withGateway);

    // Saving other settings keeps the key; a save without a gateway leaves the file as it always was.
    StoredSettings settings = store->settings();
    settings.pageLimit = 25;
    EXPECT_TRUE(saveAndWait(*store, settings).tokenStored);
    EXPECT_EQ(storedPreferences().value("gatewayBaseURL", ""), gateway);
    settings.gatewayBaseURL.clear();
    EXPECT_TRUE(saveAndWait(*store, settings).tokenStored);
    EXPECT_FALSE(storedPreferences().contains("gatewayBaseURL"));

    // A route set by hand in another form than the gateway's is not taken: requests stay on the site.
    auto bent = storeWith(connected({{"gatewayBaseURL", "http://127.0.0.1:9/ex/confluence/x"}}));
    EXPECT_EQ(bent->settings().gatewayBaseURL, "");
    site->clearRequests();
    loadAndWait(*bent, false);
    EXPECT_EQ(bent->error(), std::nullopt);
    EXPECT_EQ(count("GET /wiki/api/v2/pages"), 1);
}

TEST_F(AppStoreTest, TheRefreshTimerNeverSitsOutARateLimitWhileALoadTheUserStartedDoes) {
    auto store = storeWith(connected());
    site->inject({.status = 429, .pathPrefix = "/wiki/rest/api/user", .retryAfter = "1"});
    loadAndWait(*store, false);
    EXPECT_EQ(count(userRequest), 2);
    EXPECT_EQ(store->error(), std::nullopt);
    EXPECT_EQ(store->pages().size(), 4u);

    // The next timed load comes one period after a failed one, long before the 10 s the site asked for.
    site->clearRequests();
    site->inject({.status = 429, .pathPrefix = "/wiki/rest/api/user", .retryAfter = "10"});
    StoredSettings settings = store->settings();
    settings.refreshMinutes = 20;
    EXPECT_TRUE(saveAndWait(*store, settings).tokenStored);
    EXPECT_TRUE(eventually([&] { return count(userRequest) >= 2; }));
}

TEST_F(AppStoreTest, AFailedTimedRefreshIsNotedAndRetriedSoonerUntilTheSiteAnswers) {
    // why: minutes long enough that a busy machine's request times do not blur the retry delays
    const auto longMinute = 100ms, period = 8 * longMinute;
    auto store = storeWith(connected({{"refreshMinutes", 8}}), "test-token", longMinute);
    loadAndWait(*store, false);
    std::vector<Clock::time_point> failures;
    QObject::connect(store.get(), &AppStore::staleListChanged, [&] {
        if (store->staleList()) failures.push_back(Clock::now());
    });

    // Two timed refreshes fail: the list stays and says since when; the retries come long before a period.
    const Fault down{.status = 500, .body = "down", .pathPrefix = "/wiki/rest/api/user"};
    site->clearRequests();
    Fault twice = down;
    twice.count = 2;
    site->inject(twice);
    clock = clock.addSecs(5 * 60);
    ASSERT_TRUE(eventually([&] { return failures.size() == 1; }));
    const StaleList stale = store->staleList().value_or(StaleList{});
    EXPECT_EQ(stale.failedAt, clock);
    EXPECT_EQ(stale.pagesFrom, clock.addSecs(-5 * 60));
    EXPECT_EQ(stale.reason, ConfluenceError::http(500, "down"));
    EXPECT_EQ(store->pages().size(), 4u);
    EXPECT_EQ(store->error(), std::nullopt);
    ASSERT_TRUE(eventually([&] { return !store->staleList(); }));
    EXPECT_LT(Clock::now() - failures.front(), period * 0.75);
    EXPECT_EQ(count(userRequest), 3);
    // Once one has succeeded, the next comes a full period later.
    QTest::qWait(static_cast<int>((period / 2).count()));
    EXPECT_EQ(count(userRequest), 3);

    // A manual refresh that fails shows its error as ever and notes nothing.
    site->inject(down);
    loadAndWait(*store, false);
    EXPECT_EQ(store->error(), ConfluenceError::http(500, "down"));
    EXPECT_FALSE(store->staleList());

    // While the site stays down, each retry waits twice as long as the one before, never beyond the period.
    Fault forLong = down;
    forLong.count = 1000;
    failures.clear();
    site->inject(forLong);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == 7; }, 15000));
    const std::vector<Clock::time_point>& timed = failures;  // 50, 100 … 800, 800 ms apart
    EXPECT_LT(timed[1] - timed[0], period * 0.75);
    EXPECT_GT(timed[5] - timed[4], 2 * (timed[2] - timed[1]));
    EXPECT_LT(timed[6] - timed[5], period * 1.5);
    EXPECT_EQ(store->pages().size(), 4u);
}

TEST_F(AppStoreTest, ASlowLoadOfTheSpaceLeftBehindNeverShowsItsPagesUnderTheNewOne) {
    auto store = storeWith(connected());
    std::vector<Lines> publishedSpaceIds;
    QObject::connect(store.get(), &AppStore::pagesChanged, [&] {
        publishedSpaceIds.push_back(eachPage(store->pages(), [](const Page& page) { return page.spaceId.value_or(""); }));
    });
    QSignalSpy loadingChanges(store.get(), &AppStore::isLoadingChanged);

    site->setLatency(600ms);
    store->selectSpace("ENG");
    ASSERT_TRUE(eventually([&] { return count("GET ") == 2; }));  // its user and spaces requests are in
    site->setLatency(0ms);
    store->selectSpace("OPS");
    ASSERT_TRUE(eventually([&] { return loadingChanges.count() == 4; }));  // both loads have ended

    EXPECT_EQ(count(pagesRequest("65537")), 1);  // the ENG load did fetch its pages
    EXPECT_EQ(publishedSpaceIds, std::vector<Lines>{{"65538"}});
    EXPECT_EQ(store->settings().spaceKey, "OPS");
    EXPECT_FALSE(store->isLoading());
    EXPECT_EQ(storedPreferences(), connected({{"spaceKey", "OPS"}}));
}

TEST_F(AppStoreTest, TrashRemovesEveryRowOfThePageAndEndsItsBusyMarkOnEveryPath) {
    auto data = fake::SiteData::minimal();
    data.pages.push_back(data.pages[2]);  // 98307 listed twice
    startSite(std::move(data));
    struct Row {
        const char* name;
        Fault fault;
        bool trashed;
        long rowsLeft;
        std::optional<ConfluenceError> error;
    };
    const Row rows[] = {
        {"the DELETE fails", {.status = 500, .body = "nope", .method = "DELETE"}, false, 2,
         ConfluenceError::http(500, "nope")},
        {"trashed, the follow-up load fails unseen", {.status = 500, .pathPrefix = "/wiki/rest/api/user"}, true, 0,
         std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto store = storeWith(connected());
        loadAndWait(*store, false);
        auto rowsOfPage = [&] { return std::ranges::count(store->pages(), std::string("98307"), &Page::id); };
        ASSERT_EQ(rowsOfPage(), 2);

        site->inject(row.fault);
        std::optional<PageWrite> outcome;
        store->trashPage(*std::ranges::find(store->pages(), std::string("98307"), &Page::id),
                         [&](PageWrite trashed) { outcome = std::move(trashed); });
        EXPECT_EQ(store->busyPageIds(), std::set<std::string>{"98307"});
        ASSERT_TRUE(eventually([&] { return outcome.has_value(); }));
        EXPECT_EQ(outcome->has_value(), row.trashed);
        if (*outcome) EXPECT_EQ((*outcome)->id, "98307");
        else EXPECT_EQ(outcome->error().error, row.error);
        EXPECT_TRUE(store->busyPageIds().empty());
        EXPECT_EQ(rowsOfPage(), row.rowsLeft);
        EXPECT_EQ(store->error(), row.error);
    }
}

TEST_F(AppStoreTest, AVersionSavedMeanwhileIsNamedAndCanBeLoadedOrSavedOver) {
    auto seeded = fake::SiteData::minimal();
    seeded.colleagues.push_back({.accountId = "70121:jonas", .displayName = "Jonas Berg"});
    startSite(std::move(seeded));
    auto store = storeWith(connected());
    loadAndWait(*store, true);  // the signed-in account is known, so no save of its own is taken for another's
    auto loadPage = [&](const std::string& id) {
        std::optional<std::expected<Page, ConfluenceError>> loaded;
        store->loadPage(id, [&](std::expected<Page, ConfluenceError> page) { loaded = std::move(page); });
        EXPECT_TRUE(eventually([&] { return loaded.has_value(); }));
        return loaded.value_or(std::unexpected(noAnswer)).value_or(Page{});
    };
    auto saveVersion = [&](const Page& base) {
        std::optional<PageWrite> saved;
        store->saveVersion(base, {.title = "Roadmap", .storageBody = "<p>mine</p>"},
                           [&](PageWrite outcome) { saved = std::move(outcome); });
        EXPECT_EQ(store->busyPageIds(), std::set<std::string>{base.id});
        EXPECT_TRUE(eventually([&] { return saved.has_value(); }));
        return saved.value_or(std::unexpected(PageWriteFailure{noAnswer, {}}));
    };
    const Page loaded = loadPage("98306");
    ASSERT_EQ(versionOf(loaded), 7);
    site->withData([](fake::SiteData& data) {
        fake::FakePage& page = *data.pageById("98306");
        page = {.id = page.id, .spaceId = page.spaceId, .title = page.title, .body = "<p>theirs</p>",
                .authorId = "70121:jonas", .version = 9, .modifiedAt = "2026-12-06T09:00:00.000Z"};
    });

    struct Row {
        const char* name;
        std::optional<Fault> fault;
        bool newerRead;
        std::optional<std::string> author;
    };
    const Row rows[] = {
        {"the author named", std::nullopt, true, "Jonas Berg"},
        {"the author's name withheld", Fault{.status = 404, .pathPrefix = "/wiki/rest/api/user"}, true, std::nullopt},
        {"the page not read again", Fault{.status = 500, .method = "GET", .pathPrefix = "/wiki/api/v2/pages/"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        site->clearRequests();
        if (row.fault) site->inject(*row.fault);
        const PageWrite refused = saveVersion(loaded);
        ASSERT_FALSE(refused);
        EXPECT_TRUE(refused.error().error.isVersionConflict());
        EXPECT_EQ(store->error(), refused.error().error);
        EXPECT_TRUE(store->busyPageIds().empty());
        ASSERT_EQ(refused.error().newer.has_value(), row.newerRead);
        if (!row.newerRead) continue;
        EXPECT_EQ(versionOf(refused.error().newer->page), 9);
        EXPECT_EQ(refused.error().newer->page.version->createdAt, "2026-12-06T09:00:00.000Z");
        EXPECT_EQ(refused.error().newer->author, row.author);
        EXPECT_EQ(site->requestLines(), (Lines{"PUT /wiki/api/v2/pages/98306", "GET /wiki/api/v2/pages/98306",
                                               "GET /wiki/rest/api/user?accountId=70121:jonas"}));
    }

    // Reload brings the newer version; saving over it sends the version after it.
    EXPECT_EQ(storageBodyOf(loadPage("98306")), "<p>theirs</p>");
    const PageWrite overwritten = saveVersion(saveVersion(loaded).error().newer->page);
    ASSERT_TRUE(overwritten);
    EXPECT_EQ(versionOf(*overwritten), 10);
    EXPECT_EQ(site->withData([](fake::SiteData& data) { return data.pageById("98306")->body; }), "<p>mine</p>");
    EXPECT_EQ(store->error(), std::nullopt);
}

TEST_F(AppStoreTest, AWriteLeftUnansweredIsLookedForBeforeItIsSentAgain) {
    pageCallTime = 300ms;
    auto store = storeWith(connected());
    const Fault lateWrite{.kind = Fault::Kind::lateAnswer, .method = "POST", .pathPrefix = "/wiki/api/v2/pages",
                          .delay = 1s};
    auto create = [&](const std::string& title) {
        std::optional<PageWrite> created;
        store->createPage("ENG", std::nullopt, {.title = title, .storageBody = "<p>plan</p>"},
                          [&](PageWrite outcome) { created = std::move(outcome); });
        EXPECT_TRUE(eventually([&] { return created.has_value(); }));
        return created.value_or(std::unexpected(PageWriteFailure{noAnswer, {}}));
    };
    auto save = [&](const Page& base, const std::string& body) {
        std::optional<PageWrite> saved;
        store->saveVersion(base, {.title = titleOf(base), .storageBody = body},
                           [&](PageWrite outcome) { saved = std::move(outcome); });
        EXPECT_TRUE(eventually([&] { return saved.has_value(); }));
        return saved.value_or(std::unexpected(PageWriteFailure{noAnswer, {}}));
    };
    auto onSite = [&](const std::string& title) {
        return site->withData([&](fake::SiteData& data) {
            return std::ranges::count(data.pages, title, &fake::FakePage::title);
        });
    };
    auto pageOnSite = [&](const std::string& id) {
        return site->withData([&](fake::SiteData& data) { return *data.pageById(id); });
    };

    // A create the site did but answered too late is the page created, found before a second POST.
    site->inject(lateWrite);
    const PageWrite timedOut = create("Launch plan");
    ASSERT_FALSE(timedOut);
    ASSERT_TRUE(eventually([&] { return onSite("Launch plan") == 1; }));
    site->clearRequests();
    const PageWrite adopted = create("Launch plan");
    ASSERT_TRUE(adopted) << describe(adopted.error().error);
    EXPECT_EQ(adopted->title, "Launch plan");
    EXPECT_EQ(onSite("Launch plan"), 1);
    EXPECT_EQ(count("POST "), 0);
    EXPECT_EQ(store->error(), std::nullopt);

    // Made by someone else meanwhile, the title is theirs: the create is sent and refused.
    site->inject(lateWrite);
    ASSERT_FALSE(create("Retro notes"));
    ASSERT_TRUE(eventually([&] { return onSite("Retro notes") == 1; }));
    site->withData([](fake::SiteData& data) {
        std::ranges::find(data.pages, std::string("Retro notes"), &fake::FakePage::title)->authorId = "70121:jonas";
    });
    site->clearRequests();
    const PageWrite refused = create("Retro notes");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().error.status, 400);
    EXPECT_EQ(count("POST "), 1);

    // A version saved but answered too late is that version; typed on after it, the next save meets it as the
    // user's own.
    Page base{.id = "98306", .title = "Roadmap for Q3", .version = PageVersion{.number = 7}};
    site->inject({.kind = Fault::Kind::lateAnswer, .method = "PUT", .delay = 1s});
    ASSERT_FALSE(save(base, "<p>mine</p>"));
    ASSERT_TRUE(eventually([&] { return pageOnSite("98306").version == 8; }));
    site->clearRequests();
    const PageWrite saved = save(base, "<p>mine</p>");
    ASSERT_TRUE(saved) << describe(saved.error().error);
    EXPECT_EQ(versionOf(*saved), 8);
    EXPECT_EQ(count("PUT "), 0);

    site->inject({.kind = Fault::Kind::lateAnswer, .method = "PUT", .delay = 1s});
    base.version->number = 8;
    ASSERT_FALSE(save(base, "<p>mine, more</p>"));
    ASSERT_TRUE(eventually([&] { return pageOnSite("98306").version == 9; }));
    const PageWrite conflict = save(base, "<p>mine, more and more</p>");
    ASSERT_FALSE(conflict);
    ASSERT_TRUE(conflict.error().newer);
    EXPECT_TRUE(conflict.error().newer->byYou);
    EXPECT_EQ(conflict.error().newer->author, std::nullopt);
    EXPECT_EQ(pageOnSite("98306").body, "<p>mine, more</p>");
}

TEST_F(AppStoreTest, SearchCopyLinkAndOpenGoThroughTheSiteAndTheSeams) {
    auto store = storeWith(connected({{"spaceKey", " ENG\t"}}));
    std::optional<std::vector<SearchResult>> found;
    auto search = [&](const std::string& text, bool inSelectedSpaceOnly) {
        found.reset();
        store->search(text, inSelectedSpaceOnly, [&](std::vector<SearchResult> results) { found = results; });
        ASSERT_TRUE(eventually([&] { return found.has_value(); }));
    };
    site->inject({.status = 500, .body = "down", .pathPrefix = "/wiki/rest/api/search"});
    search("roadmap", false);
    EXPECT_TRUE(found->empty());
    search(" \n\t ", true);
    EXPECT_TRUE(found->empty());
    EXPECT_EQ(count("GET /wiki/rest/api/search"), 1);
    EXPECT_EQ(store->error(), ConfluenceError::http(500, "down"));

    search("roadmap", true);
    EXPECT_EQ(found->size(), 1u);
    EXPECT_EQ(store->error(), std::nullopt);

    store->copyLink(Page{.id = "42", .title = ""});
    EXPECT_EQ(copied, Lines{"(untitled) \u2014 " + site->baseURL() + "/wiki/pages/viewpage.action?pageId=42"});
    for (const char* address : {"not a url", "acme.example/no-scheme", "", "https://acme.example/wiki/x"})
        store->open(address);
    EXPECT_EQ(opened, Lines{"https://acme.example/wiki/x"});
}

/// Runs inside with-keyring.sh --no-service: no keyring until the test starts one.
class AppStoreWithoutKeyringTest : public AppStoreTest {};

TEST_F(AppStoreWithoutKeyringTest, AKeyringAbsentAndThenLockedIsWaitedForByEventsAndLoadsOnceUnlocked) {
    using platform::Keychain::Unreadable;
    {
        testing::KeyringDaemon earlier(true);
        ASSERT_TRUE(earlier.running());
        ASSERT_TRUE(platform::Keychain::set("test-token", StoredSettings::tokenAccount));
    }
    EXPECT_EQ(storeWith(json::object(), std::nullopt)->keyringProblem(), std::nullopt)
        << "a first start, nothing configured, offers to connect instead of waiting for a keyring";
    auto store = storeWith(connected({{"refreshMinutes", 1}}), std::nullopt);
    EXPECT_EQ(store->keyringProblem(), Unreadable::noSecretService);
    EXPECT_EQ(store->settings().email, "mia@example.com");
    EXPECT_EQ(store->settings().apiToken, "");
    QTest::qWait(100);  // 20 refresh periods
    EXPECT_TRUE(site->requests().empty());

    testing::KeyringDaemon started(false);  // its login keyring locked, as before a late unlock at login
    ASSERT_TRUE(started.running());
    ASSERT_TRUE(eventually([&] { return store->keyringProblem() == Unreadable::locked; }));
    EXPECT_TRUE(site->requests().empty());

    ASSERT_TRUE(testing::unlockKeyring());
    ASSERT_TRUE(eventually([&] { return store->pages().size() == 4; }));
    EXPECT_EQ(store->keyringProblem(), std::nullopt);
    EXPECT_EQ(store->settings().apiToken, "test-token");
    site->clearRequests();
    EXPECT_TRUE(eventually([&] { return count(userRequest) > 0; })) << "the refresh runs without a restart";
}

}  // namespace
}  // namespace folioport
