#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "TemporaryDirectory.h"
#include "platform/Keychain.h"

namespace folioport::platform {
namespace {

TEST(KeychainWithoutService, AnswersAbsentQuicklyAndNeverHangs) {
    testing::TemporaryDirectory directory;
    const std::string deadBus = "unix:path=" + (directory.path() / "no-bus").string();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", deadBus.c_str(), 1);

    const auto started = std::chrono::steady_clock::now();
    Keychain::set("token", "apiToken");
    EXPECT_EQ(Keychain::get("apiToken"), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

}  // namespace
}  // namespace folioport::platform
