#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TemporaryDirectory.h"
#include "platform/LoginItem.h"

namespace folioport::platform {
namespace {

std::string contents(const std::filesystem::path& file) {
    std::ifstream stream(file);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

class LoginItemEntry : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    testing::TemporaryDirectory config;
};

TEST_F(LoginItemEntry, EnablingWritesAnAutostartEntryOnce) {
    EXPECT_FALSE(LoginItem::isEnabled());
    ASSERT_TRUE(LoginItem::setEnabled(true, "/opt/Folioport.app/Contents/bin/Folioport"));
    EXPECT_EQ(LoginItem::entryFile(), config.path() / "autostart" / "com.tessaly.folioport.desktop");
    EXPECT_TRUE(LoginItem::isEnabled());
    EXPECT_NE(contents(LoginItem::entryFile()).find("\nExec=\"/opt/Folioport.app/Contents/bin/Folioport\"\n"),
              std::string::npos);

    std::ofstream(LoginItem::entryFile(), std::ios::app) << "# edited by the user\n";
    EXPECT_TRUE(LoginItem::setEnabled(true, "/elsewhere/Folioport"));
    EXPECT_NE(contents(LoginItem::entryFile()).find("# edited by the user"), std::string::npos) << "rewritten";
}

TEST_F(LoginItemEntry, HiddenEntryCountsAsOffAndIsReplacedWhenEnabling) {
    std::filesystem::create_directories(LoginItem::entryFile().parent_path());
    std::ofstream(LoginItem::entryFile()) << "[Desktop Entry]\nType=Application\nHidden=true\n";
    EXPECT_FALSE(LoginItem::isEnabled());
    EXPECT_TRUE(LoginItem::setEnabled(false));
    EXPECT_TRUE(std::filesystem::exists(LoginItem::entryFile())) << "disabling an off entry does nothing";
    ASSERT_TRUE(LoginItem::setEnabled(true, "/usr/bin/Folioport"));
    EXPECT_TRUE(LoginItem::isEnabled());
}

TEST_F(LoginItemEntry, DisablingDeletesTheEntry) {
    ASSERT_TRUE(LoginItem::setEnabled(true, "/usr/bin/Folioport"));
    ASSERT_TRUE(LoginItem::setEnabled(false));
    EXPECT_FALSE(std::filesystem::exists(LoginItem::entryFile()));
    EXPECT_TRUE(LoginItem::setEnabled(false));
}

TEST_F(LoginItemEntry, ExecLineQuotesReservedCharacters) {
    ASSERT_TRUE(LoginItem::setEnabled(true, "/home/a b/$x\"y\\z%u/Folioport"));
    EXPECT_NE(contents(LoginItem::entryFile()).find("\nExec=\"/home/a b/\\\\$x\\\\\"y\\\\\\\\z%%u/Folioport\"\n"),
              std::string::npos)
        << contents(LoginItem::entryFile());
}

TEST_F(LoginItemEntry, FailureToWriteIsReported) {
    ::setenv("XDG_CONFIG_HOME", (config.path() / "file").c_str(), 1);
    std::ofstream(config.path() / "file") << "not a folder";
    EXPECT_FALSE(LoginItem::setEnabled(true, "/usr/bin/Folioport"));
    EXPECT_FALSE(LoginItem::isEnabled());
}

}  // namespace
}  // namespace folioport::platform
