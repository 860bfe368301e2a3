// Runs inside with-keyring.sh --service=hanging_secret_service: a Secret Service that never answers.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "platform/Keychain.h"
#include "state/AppStore.h"

namespace folioport::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto bound = std::chrono::seconds(2);
constexpr auto slack = std::chrono::milliseconds(700);

std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

TEST(HangingKeyring, EveryCallEndsWithinTheBoundAndNoThreadsPileUp) {
    auto started = Clock::now();
    EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
    EXPECT_LT(Clock::now() - started, bound + slack);

    // why: glib's task pool may hold one more idle thread for a while after a cancelled write, at any
    // round; a pile-up would add one for each of the four later rounds.
    std::size_t threadsAfterFirstRound = 0;
    for (int call = 0; call < 5; ++call) {
        started = Clock::now();
        EXPECT_FALSE(Keychain::set("new-token", "apiToken")) << "a write no one confirmed must not count as saved";
        EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
        EXPECT_LT(Clock::now() - started, 2 * (bound + slack));
        if (call == 0) threadsAfterFirstRound = threadCount();
    }
    EXPECT_LE(threadCount(), threadsAfterFirstRound + 1);
}

TEST(HangingKeyring, TheStoreReadsAndSavesOffTheEventLoopAndKeepsEverythingWhenTheTokenIsNotSaved) {
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    const auto preferences = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "store.json";
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(10);
    sinceTick.start();
    const int wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(2 * (bound + slack)).count());

    AppStore store({.preferencesFile = preferences});
    EXPECT_TRUE(store.isReadingSettings());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.isReadingSettings(); }, wait));
    EXPECT_EQ(store.settings().apiToken, "");

    StoredSettings typed = store.settings();
    typed.baseURL = "https://example.atlassian.net";
    typed.apiToken = "typed-token";
    std::optional<bool> tokenStored;
    store.saveSettings(typed, [&](const StoredSettings::SaveOutcome& outcome) { tokenStored = outcome.tokenStored; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return tokenStored.has_value(); }, wait));
    EXPECT_FALSE(*tokenStored);
    EXPECT_EQ(store.settings(), StoredSettings{}) << "a refused token leaves the settings as they were";
    EXPECT_FALSE(std::filesystem::exists(preferences)) << "nor are the preferences written";
    // why: a keyring call on the event loop would stand it still for the whole bound.
    EXPECT_LT(longestGap, std::chrono::duration_cast<std::chrono::milliseconds>(bound).count());
}

}  // namespace
}  // namespace folioport::platform
