#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "TemporaryDirectory.h"
#include "platform/Preferences.h"

namespace folioport::platform {
namespace {

using nlohmann::json;

struct StoredCase {
    std::string name;
    std::string fileContents;
    std::int64_t pageLimit;
    std::int64_t refreshMinutes;
    bool autoUpdate;
    std::string baseURL;
};

std::ostream& operator<<(std::ostream& stream, const StoredCase& row) { return stream << row.name; }

class TypedReads : public ::testing::TestWithParam<StoredCase> {
protected:
    testing::TemporaryDirectory directory;
};

TEST_P(TypedReads, FallBackPerKey) {
    const auto file = directory.path() / "preferences.json";
    std::ofstream(file) << GetParam().fileContents;
    const auto preferences = Preferences::read(file);
    EXPECT_EQ(preferences.integer(IntegerPreference::pageLimit), GetParam().pageLimit);
    EXPECT_EQ(preferences.integer(IntegerPreference::refreshMinutes), GetParam().refreshMinutes);
    EXPECT_EQ(preferences.boolean(BooleanPreference::autoUpdate), GetParam().autoUpdate);
    EXPECT_EQ(preferences.string(StringPreference::baseURL), GetParam().baseURL);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypedReads,
    ::testing::Values(
        StoredCase{"NothingStored", "{}", 50, 30, true, ""},
        StoredCase{"StoredValues", R"({"pageLimit":12,"refreshMinutes":5,"autoUpdate":false,"baseURL":"acme.example"})",
                   12, 5, false, "acme.example"},
        StoredCase{"ZeroPageLimitMeansDefaultButZeroRefreshStays", R"({"pageLimit":0,"refreshMinutes":0})", 50, 0, true, ""},
        StoredCase{"WrongTypesReadAsDefaults",
                   R"({"pageLimit":"12","refreshMinutes":"5","autoUpdate":"no","baseURL":42})", 50, 30, true, ""},
        StoredCase{"FractionsAreNotIntegers", R"({"pageLimit":12.5,"refreshMinutes":1.0,"autoUpdate":1})", 50, 30, true, ""},
        StoredCase{"IntegerTooLarge", R"({"refreshMinutes":18446744073709551615})", 50, 30, true, ""},
        StoredCase{"CorruptFile", R"({"pageLimit":12,"autoUpdate":fal)", 50, 30, true, ""},
        StoredCase{"NotAnObject", R"([{"pageLimit":12}])", 50, 30, true, ""},
        StoredCase{"BinaryGarbage", std::string("\x00\xff{", 3), 50, 30, true, ""}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(Preferences, MissingFileReadsAsDefaultsIncludingTheFeed) {
    testing::TemporaryDirectory directory;
    const auto preferences = Preferences::read(directory.path() / "absent" / "preferences.json");
    EXPECT_EQ(preferences.string(StringPreference::email), "");
    EXPECT_TRUE(preferences.string(StringPreference::updateFeedURL).starts_with("https://"));
    EXPECT_TRUE(preferences.string(StringPreference::updateFeedURL).ends_with("/folioport/appcast.json"));
}

TEST(Preferences, WriteKeepsUnknownKeysTypesAndIsPrivate) {
    testing::TemporaryDirectory directory;
    const auto file = directory.path() / "new-folder" / "preferences.json";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << R"({"someoneElse":{"x":[1,2]},"pageLimit":3})";

    auto preferences = Preferences::read(file);
    preferences.set(StringPreference::spaceKey, "ENG");
    preferences.set(IntegerPreference::pageLimit, 0);
    preferences.set(BooleanPreference::autoUpdate, false);
    ASSERT_TRUE(preferences.write(file).has_value());

    std::ifstream written(file);
    const json stored = json::parse(written);
    EXPECT_EQ(stored, (json{{"someoneElse", {{"x", {1, 2}}}}, {"pageLimit", 0}, {"spaceKey", "ENG"}, {"autoUpdate", false}}));
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1) << "temporary file left";
}

TEST(Preferences, AReaderNeverSeesAHalfWrittenFile) {
    testing::TemporaryDirectory directory;
    const auto file = directory.path() / "preferences.json";
    Preferences first;
    first.set(StringPreference::baseURL, std::string(200000, 'a'));
    first.set(IntegerPreference::pageLimit, 1);
    Preferences second;
    second.set(StringPreference::baseURL, std::string(300000, 'b'));
    second.set(IntegerPreference::pageLimit, 2);
    ASSERT_TRUE(first.write(file).has_value());

    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int round = 0; round < 300; ++round) ASSERT_TRUE((round % 2 ? first : second).write(file).has_value());
        done = true;
    });
    int reads = 0;
    while (!done || reads < 100) {
        const auto seen = Preferences::read(file);
        const auto limit = seen.integer(IntegerPreference::pageLimit);
        ASSERT_TRUE(limit == 1 || limit == 2) << "read a partial file after " << reads << " reads";
        ASSERT_EQ(seen.string(StringPreference::baseURL).size(), limit == 1 ? 200000u : 300000u);
        ++reads;
    }
    writer.join();
}

}  // namespace
}  // namespace folioport::platform
