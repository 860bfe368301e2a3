#include <gtest/gtest.h>

#include <fstream>

#include "ChildProcess.h"
#include "TemporaryDirectory.h"

namespace folioport::testing {
namespace {

const std::string applicationLine =
    "Folioport: the desktop application is not built yet; run \"Folioport --mcp\" to start the MCP server for an AI "
    "coding assistant.\n";

struct ArgumentsCase {
    std::string name;
    std::vector<std::string> arguments;
    bool startsServer;
};

std::ostream& operator<<(std::ostream& stream, const ArgumentsCase& row) { return stream << row.name; }

class EntryPoint : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(EntryPoint, ChoosesTheRunMode) {
    std::vector<std::string> arguments{FOLIOPORT_EXECUTABLE};
    arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const auto ended = runToEnd(arguments, R"({"id":1,"method":"ping"})" "\n");
    EXPECT_EQ(ended.exitStatus, 0);
    if (GetParam().startsServer) {
        EXPECT_EQ(ended.error, "[folioport-mcp] ready (Folioport 1.0.1)\n");
        EXPECT_EQ(ended.output, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
    } else {
        EXPECT_EQ(ended.error, "");
        EXPECT_EQ(ended.output, applicationLine);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EntryPoint,
    ::testing::Values(ArgumentsCase{"McpAlone", {"--mcp"}, true},
                      ArgumentsCase{"McpFirst", {"--mcp", "--verbose"}, true},
                      ArgumentsCase{"McpLast", {"file.txt", "--mcp"}, true},
                      ArgumentsCase{"NoArguments", {}, false},
                      ArgumentsCase{"UpperCase", {"--MCP"}, false},
                      ArgumentsCase{"SingleDash", {"-mcp"}, false},
                      ArgumentsCase{"WithValue", {"--mcp=1"}, false},
                      ArgumentsCase{"Padded", {" --mcp"}, false}),
    [](const auto& testInfo) { return testInfo.param.name; });

/// Copies the built executable into `folder`/Folioport.app with an Info.plist of the given version.
std::string bundledCopy(const std::filesystem::path& folder, const std::string& plistBody) {
    const auto bin = folder / "Folioport.app" / "Contents" / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(folder / "Folioport.app" / "Contents" / "Info.plist")
        << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)" << plistBody << "</dict></plist>";
    std::filesystem::copy_file(FOLIOPORT_EXECUTABLE, bin / "Folioport");
    return (bin / "Folioport").string();
}

TEST(Bundle, VersionComesFromTheBundlesInfoPlist) {
    TemporaryDirectory folder;
    const auto executable = bundledCopy(
        folder.path(), "<key>CFBundleShortVersionString</key><string>2.3</string><key>CFBundleVersion</key><string>42</string>");
    const auto ended = runToEnd({executable, "--mcp"}, R"({"id":1,"method":"initialize"})" "\n");
    EXPECT_EQ(ended.error, "[folioport-mcp] ready (Folioport 2.3)\n");
    EXPECT_NE(ended.output.find(R"("serverInfo":{"name":"folioport","version":"2.3"})"), std::string::npos) << ended.output;
}

TEST(Bundle, BundleWithoutAVersionFallsBackToTheChangelog) {
    TemporaryDirectory folder;
    const auto executable = bundledCopy(folder.path(), "<key>CFBundleShortVersionString</key><integer>2</integer>");
    EXPECT_EQ(runToEnd({executable, "--mcp"}, "").error, "[folioport-mcp] ready (Folioport 1.0.1)\n");
}

TEST(Bundle, BuildTreeBundleAgreesWithTheChangelog) {
    const auto ended = runToEnd({std::string(FOLIOPORT_BUNDLE_DIR) + "/Contents/bin/Folioport", "--mcp"}, "");
    EXPECT_EQ(ended.error, "[folioport-mcp] ready (Folioport 1.0.1)\n");
}

}  // namespace
}  // namespace folioport::testing
