#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>

#include "TemporaryDirectory.h"
#include "platform/Bundle.h"

namespace folioport::platform {
namespace {

std::string binaryPlist(const char* key, const char* value) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, key, plist_new_string(value));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bytes, &length);
    std::string result(bytes, length);
    std::free(bytes);
    plist_free(dict);
    return result;
}

struct PlistCase {
    std::string name;
    std::string contents;
    std::optional<std::string> version;
};

std::ostream& operator<<(std::ostream& stream, const PlistCase& row) { return stream << row.name; }

const std::string xmlHead = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";

class InfoPlist : public ::testing::TestWithParam<PlistCase> {};

TEST_P(InfoPlist, ReadsOnlyStringValues) {
    testing::TemporaryDirectory directory;
    const auto file = directory.path() / "Info.plist";
    std::ofstream(file, std::ios::binary) << GetParam().contents;
    EXPECT_EQ(Bundle::readInfoString(file, "CFBundleShortVersionString"), GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InfoPlist,
    ::testing::Values(
        PlistCase{"Xml", xmlHead + "<key>CFBundleShortVersionString</key><string>2.3</string></dict></plist>", "2.3"},
        PlistCase{"Binary", binaryPlist("CFBundleShortVersionString", "2.3 β"), "2.3 β"},
        PlistCase{"NotAString", xmlHead + "<key>CFBundleShortVersionString</key><integer>2</integer></dict></plist>",
                  std::nullopt},
        PlistCase{"KeyMissing", xmlHead + "<key>CFBundleVersion</key><string>7</string></dict></plist>", std::nullopt},
        PlistCase{"NotADictionary", R"(<?xml version="1.0"?><plist version="1.0"><string>2.3</string></plist>)",
                  std::nullopt},
        PlistCase{"Garbage", "bplist00\x01\x02garbage", std::nullopt},
        PlistCase{"Empty", "", std::nullopt}),
    [](const auto& testInfo) { return testInfo.param.name; });

}  // namespace
}  // namespace folioport::platform
