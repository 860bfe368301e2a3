#include <gtest/gtest.h>

#include "storage/Storage.h"

namespace folioport {
namespace {

struct Row {
    const char* name;
    std::string_view input;
    std::string_view expected;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }


std::string rowName(const testing::TestParamInfo<Row>& info) { return info.param.name; }

const Row conversionRows[] = {
    {"workedExample", "# Title\nIntro line one\nline two\n\n- a\n* b\n\nFish & chips",
     "<h1>Title</h1><p>Intro line one<br />line two</p><ul><li><p>a</p></li><li><p>b</p></li></ul><p>Fish &amp; chips</p>"},
    {"emptyText", "", ""},
    {"onlyBlankLines", "\n \n\t\n\u00A0\n", ""},
    {"oneLine", "Hello", "<p>Hello</p>"},
    {"trailingLineFeed", "Hello\n", "<p>Hello</p>"},
    {"linesOfOneParagraph", "a\nb", "<p>a<br />b</p>"},
    {"blankLineSplitsParagraphs", "a\n\nb", "<p>a</p><p>b</p>"},
    {"manyBlankLinesCountAsOne", "a\n\n\n\nb", "<p>a</p><p>b</p>"},
    {"outerBlanksDroppedInnerKept", "  a   b \t", "<p>a   b</p>"},
    {"unicodeHorizontalSpacesTrimmed", "\u00A0\u3000a\u2003\u202F", "<p>a</p>"},
    {"loneCarriageReturnIsText", "\ra\rb", "<p>\ra\rb</p>"},
    {"lineSeparatorIsNotTrimmed", "\u2028a", "<p>\u2028a</p>"},
    {"windowsLineEndings", "a\r\nb\r\n\r\n- c\r\n", "<p>a<br />b</p><ul><li><p>c</p></li></ul>"},
    {"carriageReturnBeforeCrLfStays", "a\r\r\nb", "<p>a\r<br />b</p>"},
    {"bulletEndsParagraph", "a\n- b", "<p>a</p><ul><li><p>b</p></li></ul>"},
    {"paragraphEndsList", "- b\na", "<ul><li><p>b</p></li></ul><p>a</p>"},
    {"blankLineSplitsLists", "- a\n\n- b", "<ul><li><p>a</p></li></ul><ul><li><p>b</p></li></ul>"},
    {"bulletContentTrimmed", "*  \u00A0spaced out\t", "<ul><li><p>spaced out</p></li></ul>"},
    {"bareDashIsText", "-", "<p>-</p>"},
    {"dashAndBlankIsText", "- ", "<p>-</p>"},
    {"dashAndTabIsText", "-\tx", "<p>-\tx</p>"},
    {"bulletBeforeHeading", "- # x", "<ul><li><p># x</p></li></ul>"},
    {"headingLevelTwo", "## Setup", "<h2>Setup</h2>"},
    {"headingContentTrimmed", "#   Setup \u3000", "<h1>Setup</h1>"},
    {"headingLevelCappedAtSix", "####### deep", "<h6>deep</h6>"},
    {"hashWithoutBlankIsText", "#Setup", "<p>#Setup</p>"},
    {"hashAndTabIsText", "#\tSetup", "<p>#\tSetup</p>"},
    {"singleHashIsText", "#", "<p>#</p>"},
    {"hashesOnlyAreText", "##", "<p>##</p>"},
    {"hashAndBlankTrimmedToText", "# ", "<p>#</p>"},
    {"headingSplitsList", "- a\n# H\n- b", "<ul><li><p>a</p></li></ul><h1>H</h1><ul><li><p>b</p></li></ul>"},
    {"headingEndsParagraph", "a\n## H\nb", "<p>a</p><h2>H</h2><p>b</p>"},
    {"markupEscaped", "Fish & <chips>", "<p>Fish &amp; &lt;chips&gt;</p>"},
    {"quoteEscapedApostropheKept", "say \"it's\"", "<p>say &quot;it's&quot;</p>"},
    {"entitiesNotRecognised", "&amp;", "<p>&amp;amp;</p>"},
    {"headingAndBulletEscaped", "# a<b\n- \"q\"", "<h1>a&lt;b</h1><ul><li><p>&quot;q&quot;</p></li></ul>"},
    {"nonAsciiCopied", "Grüße — 日本", "<p>Grüße — 日本</p>"},
    {"invalidUtf8Replaced", "a\xFF" "b\xE2\x82", "<p>a\uFFFDb\uFFFD</p>"},
};

class FromPlainText : public testing::TestWithParam<Row> {};

TEST_P(FromPlainText, ProducesStorageFormat) {
    const std::string storage = Storage::fromPlainText(GetParam().input);
    EXPECT_EQ(storage, GetParam().expected);
    EXPECT_EQ(storage.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rows, FromPlainText, testing::ValuesIn(conversionRows), rowName);

}  // namespace
}  // namespace folioport
