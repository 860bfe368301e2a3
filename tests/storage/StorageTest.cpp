#include <gtest/gtest.h>

#include "storage/Storage.h"

namespace folioport {
namespace {

struct Row {
    const char* name;
    std::string_view input;
    std::string_view expected;
};

template <class Convert>
void expectRows(std::initializer_list<Row> rows, Convert convert) {
    for (const Row& row : rows) EXPECT_EQ(convert(row.input), row.expected) << row.name;
}

TEST(Storage, FromPlainText) {
    expectRows(
        {
            {"worked example", "# Title\nIntro line one\nline two\n\n- a\n* b\n\nFish & chips",
             "<h1>Title</h1><p>Intro line one<br />line two</p><ul><li><p>a</p></li><li><p>b</p></li></ul>"
             "<p>Fish &amp; chips</p>"},
            {"empty", "", ""},
            {"only blank lines", "\n \n\t\n\u00A0\n", ""},
            {"trailing line feed", "Hello\n", "<p>Hello</p>"},
            {"many blank lines count as one", "a\n\n\n\nb", "<p>a</p><p>b</p>"},
            {"outer blanks dropped, inner kept", "  a   b \t", "<p>a   b</p>"},
            {"unicode horizontal spaces trimmed", "\u00A0\u3000a\u2003\u202F", "<p>a</p>"},
            {"lone carriage return is text", "\ra\rb", "<p>\ra\rb</p>"},
            {"line separator is not trimmed", "\u2028a", "<p>\u2028a</p>"},
            {"windows line endings", "a\r\nb\r\n\r\n- c\r\n", "<p>a<br />b</p><ul><li><p>c</p></li></ul>"},
            {"carriage return before CRLF stays", "a\r\r\nb", "<p>a\r<br />b</p>"},
            {"bullet ends paragraph", "a\n- b", "<p>a</p><ul><li><p>b</p></li></ul>"},
            {"paragraph ends list", "- b\na", "<ul><li><p>b</p></li></ul><p>a</p>"},
            {"blank line splits lists", "- a\n\n- b", "<ul><li><p>a</p></li></ul><ul><li><p>b</p></li></ul>"},
            {"bullet content trimmed", "*  \u00A0spaced out\t", "<ul><li><p>spaced out</p></li></ul>"},
            {"dash and blank is text", "- ", "<p>-</p>"},
            {"dash and tab is text", "-\tx", "<p>-\tx</p>"},
            {"bullet before heading", "- # x", "<ul><li><p># x</p></li></ul>"},
            {"heading content trimmed", "#   Setup \u3000", "<h1>Setup</h1>"},
            {"heading level capped at six", "####### deep", "<h6>deep</h6>"},
            {"hash without blank is text", "#Setup", "<p>#Setup</p>"},
            {"hash and tab is text", "#\tSetup", "<p>#\tSetup</p>"},
            {"hashes only are text", "##", "<p>##</p>"},
            {"hash and blank trimmed to text", "# ", "<p>#</p>"},
            {"heading splits list", "- a\n# H\n- b", "<ul><li><p>a</p></li></ul><h1>H</h1><ul><li><p>b</p></li></ul>"},
            {"heading ends paragraph", "a\n## H\nb", "<p>a</p><h2>H</h2><p>b</p>"},
            {"markup escaped, apostrophe kept", "Fish & <chips> \"it's\"", "<p>Fish &amp; &lt;chips&gt; &quot;it's&quot;</p>"},
            {"entities not recognised", "&amp;", "<p>&amp;amp;</p>"},
            {"heading and bullet escaped", "# a<b\n- \"q\"", "<h1>a&lt;b</h1><ul><li><p>&quot;q&quot;</p></li></ul>"},
            {"non-ASCII copied", "Grüße — 日本", "<p>Grüße — 日本</p>"},
            {"invalid UTF-8 replaced", "a\xFF" "b\xE2\x82", "<p>a\uFFFDb\uFFFD</p>"},
        },
        [](std::string_view text) {
            std::string storage = Storage::fromPlainText(text);
            EXPECT_EQ(storage.find('\n'), std::string::npos) << "storage is one line";
            return storage;
        });
}

TEST(Storage, ToPlainText) {
    expectRows(
        {
            {"worked example",
             "<h2>Plan</h2><p>Fish &amp; chips&nbsp;&mdash; <strong>today</strong></p>"
             "<ul><li><p>one</p></li><li><p>two</p></li></ul>",
             "Plan\nFish & chips \u2014 today\n\u2022 one\n\u2022 two"},
            {"empty", "", ""},
            {"only tags", "<p></p><br/><div><span></span></div>", ""},
            {"source line breaks squeezed", "para  one\n\npara\ttwo\r\nthree\u2028four\u0085five",
             "para one para two three four five"},
            {"breaks with attributes and any case", "a<br class=x>b<BR />c</br>d", "a\nb\nc\nd"},
            {"table cells joined", "<table><tr><td>A</td><td>B</td></tr><tr><td>C</td></tr></table>", "AB\nC"},
            {"inline closing tags keep the line", "a<ac:structured-macro ac:name=\"toc\">b</ac:structured-macro>c", "abc"},
            {"namespace prefix dropped", "a</ac:p>b", "a\nb"},
            {"extra slashes still close", "a<//p>b", "a\nb"},
            {"bullet with attributes", "<li class=\"task\">item</li>after", "\u2022 item\nafter"},
            {"blank bullet item", "<ul><li> </li></ul>", "\u2022"},
            {"name ends at a unicode space", "<li\u00A0x>a", "\u2022 a"},
            {"Kelvin sign lower-cases", "x</BLOC\u212AQUOTE>y", "x\ny"},
            {"unclosed angle is text", "a < b", "a < b"},
            {"many unclosed angles", "<<<a<", "<<<a<"},
            {"angles inside a tag", "<<<p>a", "a"},
            {"comment ends at the first closer", "<!-- x > y -->z", "y -->z"},
            {"escaped tag is text", "&lt;p&gt;", "<p>"},
            {"decoded no-break spaces squeezed, literal kept", "a&nbsp;&nbsp; b\u00A0 c", "a b\u00A0 c"},
            {"decoded line feed squeezed", "a&#10;b", "a b"},
            {"entity split by a tag joins", "&am<b>p;", "&"},
            {"raw ampersand hides an entity", "AT&T &amp; co", "AT&T &amp; co"},
            {"invalid UTF-8 replaced", "<p>\xC3</p>\xED\xA0\x80", "\uFFFD\n\uFFFD\uFFFD\uFFFD"},
        },
        Storage::toPlainText);
}

TEST(Storage, DecodeEntitiesKnownReferencesOnly) {
    expectRows(
        {
            {"named", "&lt;&gt;&quot;&apos;&ndash;&hellip;&lsquo;&rsquo;&ldquo;&rdquo;&AMP;&Lt;",
             "<>\"'\u2013\u2026\u2018\u2019\u201C\u201D&<"},
            {"decoded text not re-examined", "&amp;lt;", "&lt;"},
            {"unknown, empty and unterminated names kept", "&copy; &Copy; &; a & b &amp", "&copy; &Copy; &; a & b &amp"},
            {"twelve-letter name kept", "&verylongname;", "&verylongname;"},
            {"ten-character name decoded", "&#000000065;", "A"},
            {"eleven-character name kept", "&#0000000065;", "&#0000000065;"},
            {"window counts characters", "&\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9;",
             "&\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9;"},
            {"decimal and hex", "&#65;&#x41;&#X41;&#x1F600;&#x10FFFF;", "AAA\U0001F600\U0010FFFF"},
            {"surrogates kept", "&#xD800;&#xdfff;", "&#xD800;&#xdfff;"},
            {"empty, signed or out-of-range digits kept", "&#;&#x;&#+65;&#-65;&#1114112;&#x110000;&#4294967361;",
             "&#;&#x;&#+65;&#-65;&#1114112;&#x110000;&#4294967361;"},
        },
        Storage::decodeEntities);
}

TEST(Storage, SqueezeSpaces) {
    expectRows(
        {
            {"trims and joins", " \t a \n\r\n  b\v\fc  ", "a b c"},
            {"unicode line breaks split", "a\u2028b\u2029c\u0085d", "a b c d"},
            {"other spaces kept", "a\u00A0\u3000b", "a\u00A0\u3000b"},
            {"only separators", " \n\t ", ""},
        },
        Storage::squeezeSpaces);
}

// why: only these limits decide between decoding a reference and leaving it as written.
TEST(Storage, NumericScalarAcceptsExactlyTheUnicodeScalarValues) {
    const std::pair<std::string_view, std::optional<char32_t>> rows[] = {
        {"65", U'A'},     {"X41", U'A'},       {"0", U'\0'},          {"xD7FF", 0xD7FF}, {"xD800", {}},
        {"xDFFF", {}},    {"xE000", 0xE000},   {"x10FFFF", 0x10FFFF}, {"x110000", {}},   {"4294967296", {}},
        {"", {}},         {"x", {}},           {"0x41", {}},          {"4a", {}},        {" 65", {}},
    };
    for (const auto& [digits, scalar] : rows) EXPECT_EQ(Storage::numericScalar(digits), scalar) << digits;
}

}  // namespace
}  // namespace folioport
