#include <benchmark/benchmark.h>

#include <string>

#include "storage/Storage.h"

namespace {

using namespace folioport;

constexpr std::size_t pageSize = 5 * 1024 * 1024;

/// The block repeated until the text holds at least pageSize bytes.
std::string repeatedToPageSize(const std::string& block) {
    std::string text;
    text.reserve(pageSize + block.size());
    while (text.size() < pageSize) text += block;
    return text;
}

/// A storage-format page of about 5 MB: headings, paragraphs with inline markup and entities,
/// lists, tables, a macro and non-ASCII text.
const std::string& storagePage() {
    static const std::string page = [] {
        const std::string block =
            "<h2>Release plan &ndash; Q3</h2>"
            "<p>Fish &amp; chips&nbsp;&mdash; <strong>today</strong> at the caf\u00E9, "
            "<em>Gr\u00FC\u00DFe</em> aus K\u00F6ln &#x1F600; and &#8230; more. "
            "Line one<br/>line two with   extra   blanks\nand a source line break.</p>"
            "<ul><li><p>first item &lt;tag&gt;</p></li><li class=\"x\"><p>\u65E5\u672C\u8A9E\u306E\u9805\u76EE</p></li></ul>"
            "<table><tbody><tr><th>Name</th><th>Value</th></tr><tr><td>\u00C5ngstr\u00F6m</td><td>42 &lt; 43</td></tr>"
            "</tbody></table>"
            "<ac:structured-macro ac:name=\"info\"><ac:rich-text-body><p>Note: AT&T &amp; co</p>"
            "</ac:rich-text-body></ac:structured-macro>";
        return repeatedToPageSize(block);
    }();
    return page;
}

/// A plain-text page of about 5 MB with headings, paragraphs, bullets and non-ASCII text.
const std::string& plainPage() {
    static const std::string page = [] {
        const std::string block =
            "# Release plan\r\n"
            "Intro line with Fish & chips and <angle brackets> and \"quotes\".\n"
            "Zweite Zeile mit Gr\u00FC\u00DFen aus K\u00F6ln \u2014 \u65E5\u672C\u8A9E.\n"
            "\n"
            "- first bullet\n"
            "* second bullet with   inner   blanks  \n"
            "  - indented bullet\n"
            "\n"
            "### Details\n"
            "\u00A0 A paragraph that is somewhat longer than the others, so that lines of realistic length appear.\n"
            "\n";
        return repeatedToPageSize(block);
    }();
    return page;
}

template <class Convert>
void run(benchmark::State& state, const std::string& input, Convert convert) {
    for (auto _ : state) benchmark::DoNotOptimize(convert(input));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void toPlainTextPage(benchmark::State& state) { run(state, storagePage(), Storage::toPlainText); }
void fromPlainTextPage(benchmark::State& state) { run(state, plainPage(), Storage::fromPlainText); }

// Inputs that would be quadratic for a scan that looks ahead from every candidate position.
void toPlainTextUnclosedAngles(benchmark::State& state) {
    run(state, std::string(pageSize / 2, '<') + std::string(pageSize / 2, 'a'), Storage::toPlainText);
}
void toPlainTextBareAmpersands(benchmark::State& state) {
    run(state, std::string(pageSize, '&'), Storage::toPlainText);
}
void toPlainTextOneLongTag(benchmark::State& state) {
    run(state, "<" + std::string(pageSize, 'x') + ">", Storage::toPlainText);
}
void fromPlainTextOneLine(benchmark::State& state) {
    run(state, "- " + std::string(pageSize, '&') + " ", Storage::fromPlainText);
}
void fromPlainTextBlankLines(benchmark::State& state) {
    run(state, std::string(pageSize, '\n'), Storage::fromPlainText);
}

}  // namespace

BENCHMARK(toPlainTextPage)->Unit(benchmark::kMillisecond);
BENCHMARK(fromPlainTextPage)->Unit(benchmark::kMillisecond);
BENCHMARK(toPlainTextUnclosedAngles)->Unit(benchmark::kMillisecond);
BENCHMARK(toPlainTextBareAmpersands)->Unit(benchmark::kMillisecond);
BENCHMARK(toPlainTextOneLongTag)->Unit(benchmark::kMillisecond);
BENCHMARK(fromPlainTextOneLine)->Unit(benchmark::kMillisecond);
BENCHMARK(fromPlainTextBlankLines)->Unit(benchmark::kMillisecond);
