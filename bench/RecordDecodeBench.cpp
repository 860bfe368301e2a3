#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <nlohmann/json.hpp>

#include "confluence/RecordDecoder.h"

namespace {

using namespace folioport;

/// A page-list answer of 250 pages, each with version, links and a storage body of about 4 KB.
const std::string& pageList() {
    static const std::string text = [] {
        std::string body;
        while (body.size() < 4096) {
            body += "<h2>Plan</h2><p>Fish &amp; chips&nbsp;&mdash; <strong>today</strong> in K\u00F6ln</p>"
                    "<ul><li><p>one</p></li><li><p>two \"quoted\"</p></li></ul>";
        }
        nlohmann::json results = nlohmann::json::array();
        for (int i = 0; i < 250; ++i) {
            const std::string id = std::to_string(100000 + i);
            results.push_back({
                {"id", id},
                {"status", "current"},
                {"title", "Page number " + id},
                {"spaceId", "65537"},
                {"parentId", "99999"},
                {"authorId", "5b10a2844c20165700ede21g"},
                {"createdAt", "2024-05-01T10:20:30.123Z"},
                {"version", {{"number", i}, {"message", ""}, {"createdAt", "2024-05-02T08:00:00.000Z"},
                             {"authorId", "5b10a2844c20165700ede21g"}, {"minorEdit", false}}},
                {"body", {{"storage", {{"value", body}, {"representation", "storage"}}}}},
                {"_links", {{"webui", "/spaces/TEAM/pages/" + id}, {"editui", "/pages/resumedraft.action?draftId=" + id},
                            {"tinyui", "/x/AbCd"}}},
            });
        }
        return nlohmann::json{{"results", results}, {"_links", {{"next", "/wiki/api/v2/pages?cursor=abc"}}}}.dump();
    }();
    return text;
}

/// One page answer with a storage body of 5 MB.
const std::string& bigPage() {
    static const std::string text = [] {
        std::string body;
        while (body.size() < (std::size_t{5} << 20)) body += "<p>Fish &amp; chips \u00e9 <strong>today</strong></p>";
        return nlohmann::json{{"id", "98306"}, {"title", "Big"}, {"version", {{"number", 3}}},
                              {"body", {{"storage", {{"value", body}, {"representation", "storage"}}}}}}
            .dump();
    }();
    return text;
}

/// Answers a hostile site sends to exhaust memory: 64 MB of nested arrays, 16 MB of empty objects.
const std::string& nestedArrays() {
    static const std::string text = std::string(std::size_t{64} << 20, '[');
    return text;
}
const std::string& emptyObjects() {
    static const std::string text = [] {
        std::string objects = R"({"results":[],"more":[)";
        while (objects.size() < (std::size_t{16} << 20)) objects += "{},";
        return objects + "{}]}";
    }();
    return text;
}

/// Decodes `text` as T; the peak resident memory of the whole process so far is reported, so run one
/// benchmark per process (--benchmark_filter) to read it for that case alone.
template <class T>
void decode(benchmark::State& state, const std::string& (*answer)()) {
    const std::string& text = answer();
    for (auto _ : state) {
        auto decoded = decodeRecord<T>(text);
        benchmark::DoNotOptimize(decoded);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peakMB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void pageList250(benchmark::State& state) { decode<MultiResult<Page>>(state, pageList); }
void page5MB(benchmark::State& state) { decode<Page>(state, bigPage); }
void nestedArrays64MB(benchmark::State& state) { decode<MultiResult<Page>>(state, nestedArrays); }
void emptyObjects16MB(benchmark::State& state) { decode<MultiResult<Page>>(state, emptyObjects); }

}  // namespace

BENCHMARK(pageList250)->Unit(benchmark::kMillisecond);
BENCHMARK(page5MB)->Unit(benchmark::kMillisecond);
BENCHMARK(nestedArrays64MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(emptyObjects16MB)->Unit(benchmark::kMillisecond);
