#include <gtest/gtest.h>

#include <thread>

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

TEST(AppInfo, ConcurrentFirstUseSeesOneChangelog) {
    std::vector<const std::vector<ChangelogEntry>*> seen(8);
    std::vector<std::jthread> readers;
    for (auto& slot : seen) readers.emplace_back([&slot] { slot = &AppInfo::changelog(); });
    readers.clear();
    for (const auto* changelog : seen) EXPECT_EQ(changelog, seen.front());
}

}  // namespace
}  // namespace folioport
