#include <benchmark/benchmark.h>

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

void decodePageList(benchmark::State& state) {
    const std::string& text = pageList();
    for (auto _ : state) {
        auto decoded = decodeRecord<MultiResult<Page>>(text);
        if (!decoded) state.SkipWithError(decoded.error().c_str());
        benchmark::DoNotOptimize(decoded);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(decodePageList)->Unit(benchmark::kMillisecond);
