#include <gtest/gtest.h>

#include "updater/UpdateManifest.h"
#include "updater/VersionOrder.h"

namespace folioport {
namespace {

TEST(UpdateManifest, DecodesStrictlyByExactKeys) {
    struct Row {
        const char* name;
        const char* json;
        std::expected<UpdateManifest, std::string> expected;
    };
    const Row rows[] = {
        {"every field, extra keys ignored",
         R"({"version":"1.2","build":"7","date":"2026-10-01","url":"https://u/a.zip","sha256":"AB12",
             "notes":"n","minimumSystemVersion":"13.0","Version":"9","channel":{"beta":true}})",
         UpdateManifest{"1.2", "7", "2026-10-01", "https://u/a.zip", "AB12", "n", "13.0"}},
        {"null and missing optionals are empty", R"({"version":"1.2","url":"u","notes":null})",
         UpdateManifest{"1.2", {}, {}, "u", {}, {}, {}}},
        {"missing url", R"({"version":"1.2"})", std::unexpected(R"(The update feed has no "url".)")},
        {"null version", R"({"version":null,"url":"u"})", std::unexpected(R"(The update feed has no "version".)")},
        {"numeric version", R"({"version":1.2,"url":"u"})",
         std::unexpected(R"(The update feed's "version" is not a string.)")},
        {"optional of the wrong type", R"({"version":"1","url":"u","sha256":false})",
         std::unexpected(R"(The update feed's "sha256" is not a string.)")},
        {"first problem in field order", R"({"url":3})", std::unexpected(R"(The update feed has no "version".)")},
        {"array document", R"([{"version":"1","url":"u"}])",
         std::unexpected("The update feed is not a JSON object.")},
        {"string document", R"("1.2")", std::unexpected("The update feed is not a JSON object.")},
        {"not JSON", "<html>502 Bad Gateway</html>", std::unexpected("The update feed is not valid JSON.")},
        {"empty body", "", std::unexpected("The update feed is not valid JSON.")},
    };
    for (const Row& row : rows) EXPECT_EQ(decodeManifest(row.json), row.expected) << row.name;
}

TEST(VersionOrder, DigitRunsCompareAsWholeNumbersOfAnyLength) {
    using std::weak_ordering;
    struct Row {
        const char* left;
        const char* right;
        weak_ordering expected;
    };
    const Row rows[] = {
        {"1.10", "1.9", weak_ordering::greater},
        {"2.0", "1.99", weak_ordering::greater},
        {"1.0.1", "1.0.1", weak_ordering::equivalent},
        {"1.0", "1.0.1", weak_ordering::less},
        {"1.01", "1.1", weak_ordering::equivalent},
        {"1.000", "1.0", weak_ordering::equivalent},
        {"18446744073709551616", "18446744073709551615", weak_ordering::greater},  // 2^64 against 2^64 - 1
        {"1.99999999999999999999999999999", "1.100000000000000000000000000000", weak_ordering::less},
        {"1.0b", "1.0a", weak_ordering::greater},
        {"1.0 beta", "1.0", weak_ordering::greater},
        {"v2", "1.0", weak_ordering::greater},  // no "v" is removed: 'v' sorts after '1'
        {"1.9", " 1.10", weak_ordering::greater},  // nor is a blank trimmed
        {"", "0", weak_ordering::less},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(compareVersions(row.left, row.right), row.expected) << row.left << " <=> " << row.right;
        EXPECT_EQ(compareVersions(row.right, row.left), 0 <=> row.expected) << row.right << " <=> " << row.left;
    }
}

}  // namespace
}  // namespace folioport
