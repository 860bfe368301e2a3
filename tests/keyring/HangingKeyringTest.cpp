// Runs inside with-keyring.sh --service=hanging_secret_service: a Secret Service that never answers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Keychain.h"

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
    const std::size_t threadsAfterFirstCall = threadCount();

    for (int call = 0; call < 4; ++call) {
        started = Clock::now();
        EXPECT_FALSE(Keychain::set("new-token", "apiToken")) << "a write no one confirmed must not count as saved";
        EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
        EXPECT_LT(Clock::now() - started, 2 * (bound + slack));
    }
    EXPECT_LE(threadCount(), threadsAfterFirstCall);
}

}  // namespace
}  // namespace folioport::platform
