#include <gtest/gtest.h>

#include "app/AppInfo.h"

namespace folioport {
namespace {

TEST(AppInfo, OutsideABundleTheNewestChangelogEntryIsTheVersion) {
    EXPECT_EQ(AppInfo::version(), "1.0.1");
    EXPECT_EQ(AppInfo::build(), "1");
}

TEST(AppInfo, ChangelogIsNewestFirstWithEveryChange) {
    const auto& changelog = AppInfo::changelog();
    ASSERT_EQ(changelog.size(), 2u);
    EXPECT_EQ(changelog[0].version, "1.0.1");
    EXPECT_EQ(changelog[0].date, "2026-09-15");
    EXPECT_EQ(changelog[0].changes.size(), 1u);
    EXPECT_EQ(changelog[1].version, "1.0.0");
    EXPECT_EQ(changelog[1].changes.size(), 6u);
    EXPECT_EQ(changelog[1].changes[4],
              "Built-in MCP server: create, read, update and delete the same pages from Claude Code with "
              "`Folioport --mcp`.");
}

}  // namespace
}  // namespace folioport
