#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Harness.h"
#include "appinfo/AppInfo.h"

namespace folioport::testing {
namespace {

const std::string ready = "[folioport-mcp] ready (Folioport 1.0.1)\n";
const std::map<std::string, std::string> noDisplay = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
const std::string noDisplaySentence =
    "Folioport: no graphical display is available (DISPLAY and WAYLAND_DISPLAY are unset), so the tray application "
    "cannot start; \"Folioport --mcp\" runs the MCP server, which needs none.\n";

TEST(AppInfo, OutsideABundleTheNewestChangelogEntryIsTheVersion) {
    EXPECT_EQ(AppInfo::version(), "1.0.1");
    EXPECT_EQ(AppInfo::build(), "1");
    const auto& changelog = AppInfo::changelog();
    ASSERT_EQ(changelog.size(), 2u);
    EXPECT_EQ(changelog[0].version, "1.0.1");
    EXPECT_EQ(changelog[0].date, "2026-09-15");
    EXPECT_EQ(changelog[0].changes.size(), 1u);
    EXPECT_EQ(changelog[1].version, "1.0.0");
    ASSERT_EQ(changelog[1].changes.size(), 6u);
    EXPECT_EQ(changelog[1].changes[4],
              "Built-in MCP server: create, read, update and delete the same pages from Claude Code with "
              "`Folioport --mcp`.");
}

TEST(EntryPoint, OnlyAnExactMcpArgumentAnywhereStartsTheServer) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"--mcp"}, true},  {{"--mcp", "--verbose"}, true}, {{"file.txt", "--mcp"}, true}, {{}, false},
        {{"--MCP"}, false}, {{"-mcp"}, false},               {{"--mcp=1"}, false},          {{" --mcp"}, false}};
    for (const auto& [extra, startsServer] : cases) {
        std::vector<std::string> arguments{FOLIOPORT_EXECUTABLE};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        SCOPED_TRACE(::testing::PrintToString(extra));
        // Without a display, the application mode says so instead of starting.
        const auto ended = runToEnd(arguments, R"({"id":1,"method":"ping"})" "\n", noDisplay);
        EXPECT_EQ(ended.exitStatus, startsServer ? 0 : 1);
        EXPECT_EQ(ended.error, startsServer ? ready : noDisplaySentence);
        EXPECT_EQ(ended.output, startsServer ? "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n" : "");
    }
}

TEST(EntryPoint, McpModeLoadsNeitherQtNorLibplistAndACopyWithoutTheDesktopPartSaysWhy) {
    ChildProcess server({FOLIOPORT_EXECUTABLE, "--mcp"});
    // Until the first answer, one thread: once it waits for input, nothing else was started.
    const std::string process = "/proc/" + std::to_string(server.pid());
    const auto waitsForInput = [&] {
        std::ifstream stat(process + "/stat");
        const std::string line{std::istreambuf_iterator<char>(stat), {}};
        return line.find(") S ") != std::string::npos;
    };
    for (int tries = 0; tries < 1000 && !waitsForInput(); ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(process + "/task"), {}), 1);
    server.write(R"({"id":1,"method":"initialize"})" "\n");
    ASSERT_TRUE(server.readLine());
    std::ifstream maps("/proc/" + std::to_string(server.pid()) + "/maps");
    const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
    // why: the first answer waits for every library the loader maps; only reading a bundle's Info.plist needs libplist.
    for (const char* library : {"libQt6", "libfolioport_desktop", "libplist"})
        EXPECT_EQ(mapped.find(library), std::string::npos) << library;
    EXPECT_EQ(server.finish().exitStatus, 0);

    TemporaryDirectory folder;
    std::filesystem::copy_file(FOLIOPORT_EXECUTABLE, folder.path / "Folioport");
    const auto ended = runToEnd({folder.path / "Folioport"}, "");
    EXPECT_EQ(ended.exitStatus, 1);
    EXPECT_TRUE(ended.error.starts_with("Folioport: the desktop part libfolioport_desktop.so could not be loaded, so "
                                        "only \"Folioport --mcp\" works from this copy:"))
        << ended.error;
}

TEST(Bundle, VersionComesFromTheInfoPlistOfTheBundleAroundTheExecutable) {
    TemporaryDirectory folder;
    const auto bin = folder.path / "Folioport.app" / "Contents" / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(folder.path / "Folioport.app" / "Contents" / "Info.plist")
        << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
        << "<key>CFBundleShortVersionString</key><string>2.3</string><key>CFBundleVersion</key><string>42</string>"
        << "</dict></plist>";
    std::filesystem::copy_file(FOLIOPORT_EXECUTABLE, bin / "Folioport");
    const auto ended = runToEnd({bin / "Folioport", "--mcp"}, R"({"id":1,"method":"initialize"})" "\n");
    EXPECT_EQ(ended.error, "[folioport-mcp] ready (Folioport 2.3)\n");
    EXPECT_NE(ended.output.find(R"("serverInfo":{"name":"folioport","version":"2.3"})"), std::string::npos) << ended.output;
    // The build tree's own bundle must carry the changelog's version.
    EXPECT_EQ(runToEnd({std::string(FOLIOPORT_BUNDLE_DIR) + "/Contents/bin/Folioport", "--mcp"}, "").error, ready);
}

}  // namespace
}  // namespace folioport::testing
