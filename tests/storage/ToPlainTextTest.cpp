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
    {"workedExample",
     "<h2>Plan</h2><p>Fish &amp; chips&nbsp;&mdash; <strong>today</strong></p>"
     "<ul><li><p>one</p></li><li><p>two</p></li></ul>",
     "Plan\nFish & chips \u2014 today\n\u2022 one\n\u2022 two"},
    {"emptyText", "", ""},
    {"onlyTags", "<p></p><br/><div><span></span></div>", ""},
    {"sourceLineBreaksSqueezed", "para  one\n\npara\ttwo\r\nthree\u2028four\u0085five", "para one para two three four five"},
    {"paragraphsOnTwoLines", "<p>a</p><p>b</p>", "a\nb"},
    {"selfClosingBreak", "<p>a<br/>b</p>", "a\nb"},
    {"breakWithAttributes", "a<br class=x>b<BR />c</br>d", "a\nb\nc\nd"},
    {"upperCaseTags", "<P>a</P>b", "a\nb"},
    {"tableCellsJoined", "<table><tr><td>A</td><td>B</td></tr><tr><td>C</td></tr></table>", "AB\nC"},
    {"inlineClosingTagsKeepLine", "<p>x<span>y</span>z</p>", "xyz"},
    {"macroClosingKeepsLine", "a<ac:structured-macro ac:name=\"toc\">b</ac:structured-macro>c", "abc"},
    {"namespacePrefixDropped", "a</ac:p>b", "a\nb"},
    {"extraSlashesStillClose", "a<//p>b", "a\nb"},
    {"bulletWithAttributes", "<li class=\"task\">item</li>after", "\u2022 item\nafter"},
    {"blankBulletItem", "<ul><li> </li></ul>", "\u2022"},
    {"nameEndsAtUnicodeSpace", "<li\u00A0x>a", "\u2022 a"},
    {"kelvinSignLowerCases", "x</BLOC\u212AQUOTE>y", "x\ny"},
    {"unclosedAngleIsText", "a < b", "a < b"},
    {"manyUnclosedAngles", "<<<a<", "<<<a<"},
    {"anglesInsideTag", "<<<p>a", "a"},
    {"commentEndsAtFirstCloser", "<!-- x > y -->z", "y -->z"},
    {"escapedTagIsText", "&lt;p&gt;", "<p>"},
    {"entityNamesAnyCase", "&AMP;&Lt;", "&<"},
    {"nbspIsSqueezedBlank", "a&nbsp;&nbsp; b", "a b"},
    {"literalNoBreakSpaceKept", "a\u00A0 b", "a\u00A0 b"},
    {"decodedLineFeedSqueezed", "a&#10;b", "a b"},
    {"entitySplitByTagJoins", "&am<b>p;", "&"},
    {"rawAmpersandHidesEntity", "AT&T &amp; co", "AT&T &amp; co"},
    {"invalidUtf8Replaced", "<p>\xC3</p>\xED\xA0\x80", "\uFFFD\n\uFFFD\uFFFD\uFFFD"},
};

class ToPlainText : public testing::TestWithParam<Row> {};

TEST_P(ToPlainText, FlattensStorageFormat) { EXPECT_EQ(Storage::toPlainText(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Rows, ToPlainText, testing::ValuesIn(conversionRows), rowName);

const Row entityRows[] = {
    {"noAmpersand", "plain text", "plain text"},
    {"namedEntities", "&lt;&gt;&quot;&apos;&ndash;&hellip;&lsquo;&rsquo;&ldquo;&rdquo;",
     "<>\"'\u2013\u2026\u2018\u2019\u201C\u201D"},
    {"decodedTextNotReexamined", "&amp;lt;", "&lt;"},
    {"unknownNameKept", "&copy; &Copy;", "&copy; &Copy;"},
    {"emptyNameKept", "&;", "&;"},
    {"noSemicolonKept", "a & b &amp", "a & b &amp"},
    {"twelveLetterNameKept", "&verylongname;", "&verylongname;"},
    {"tenCharacterNameDecoded", "&#000000065;", "A"},
    {"elevenCharacterNameKept", "&#0000000065;", "&#0000000065;"},
    {"windowCountsCharacters", "&\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9;", "&\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9;"},
    {"decimalAndHex", "&#65;&#x41;&#X41;&#x1F600;", "AAA\U0001F600"},
    {"surrogateKept", "&#xD800;&#xdfff;", "&#xD800;&#xdfff;"},
    {"emptyDigitsKept", "&#;&#x;", "&#;&#x;"},
    {"beyondUnicodeKept", "&#1114112;&#x110000;", "&#1114112;&#x110000;"},
    {"beyond32BitsKept", "&#4294967361;", "&#4294967361;"},
    {"signedDigitsKept", "&#+65;&#-65;", "&#+65;&#-65;"},
    {"lastScalarDecoded", "&#x10FFFF;", "\U0010FFFF"},
};

class DecodeEntities : public testing::TestWithParam<Row> {};

TEST_P(DecodeEntities, DecodesKnownReferencesOnly) {
    EXPECT_EQ(Storage::decodeEntities(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecodeEntities, testing::ValuesIn(entityRows), rowName);

const Row squeezeRows[] = {
    {"trimsAndJoins", " \t a \n\r\n  b\v\fc  ", "a b c"},
    {"unicodeLineBreaksSplit", "a\u2028b\u2029c\u0085d", "a b c d"},
    {"otherSpacesKept", "a\u00A0\u3000b", "a\u00A0\u3000b"},
    {"onlySeparators", " \n\t ", ""},
};

class SqueezeSpaces : public testing::TestWithParam<Row> {};

TEST_P(SqueezeSpaces, JoinsPiecesWithOneBlank) { EXPECT_EQ(Storage::squeezeSpaces(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Rows, SqueezeSpaces, testing::ValuesIn(squeezeRows), rowName);

// why: only these limits decide between decoding a reference and leaving it as written.
TEST(NumericScalar, AcceptsExactlyTheUnicodeScalarValues) {
    const std::pair<std::string_view, std::optional<char32_t>> rows[] = {
        {"65", U'A'},         {"x41", U'A'},        {"X41", U'A'},         {"0", U'\0'},
        {"xD7FF", 0xD7FF},    {"xD800", {}},        {"xDFFF", {}},         {"xE000", 0xE000},
        {"x10FFFF", 0x10FFFF}, {"x110000", {}},     {"4294967295", {}},    {"4294967296", {}},
        {"", {}},             {"x", {}},            {"0x41", {}},          {"4a", {}},
        {"xG", {}},           {" 65", {}},
    };
    for (const auto& [digits, scalar] : rows) EXPECT_EQ(Storage::numericScalar(digits), scalar) << digits;
}

}  // namespace
}  // namespace folioport
