#include <cstdlib>
#include <random>

#include "ToolSite.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

// Random argument objects of every JSON type for every tool: each call must end in an answer or a
// described failure whose text can be sent as JSON, never in a crash or an exception.
// FOLIOPORT_TOOL_FUZZ_ITERATIONS and FOLIOPORT_TOOL_FUZZ_SEED make longer or replayed runs.
class RandomArguments {
public:
    explicit RandomArguments(std::uint64_t seed) : random_(seed) {}

    std::string toolName() {
        static const char* const names[] = {"list_spaces", "list_pages", "search_pages", "get_page",
                                            "create_page", "update_page", "delete_page", "get_pages"};
        return names[pick(std::size(names))];
    }

    json arguments() {
        if (pick(20) == 0) return value(2);  // an object is promised, but not relied on
        static const char* const names[] = {"pageId", "title", "spaceKey", "format", "body", "mode", "newTitle",
                                            "versionMessage", "parentId", "purge", "limit", "query", "extra"};
        json object = json::object();
        for (std::size_t n = pick(7); n > 0; --n) object[names[pick(std::size(names))]] = value(2);
        return object;
    }

private:
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }

    json value(int depth) {
        switch (pick(depth > 0 ? 9 : 7)) {
        case 0: return nullptr;
        case 1: return pick(2) == 0;
        case 2: {
            static const json integers[] = {0, 1, -1, 3, 250, 98306, -9223372036854775807LL - 1,
                                            9223372036854775807LL, json(18446744073709551615ULL)};
            return integers[pick(std::size(integers))];
        }
        case 3: {
            static const double doubles[] = {0.5, 2.0, -3.0, 1e300, -1e300, 1e-300};
            return doubles[pick(std::size(doubles))];
        }
        case 4:
        case 5:
        case 6: return text();
        case 7: {
            json array = json::array();
            for (std::size_t n = pick(3); n > 0; --n) array.push_back(value(depth - 1));
            return array;
        }
        default: {
            json object = json::object();
            for (std::size_t n = pick(3); n > 0; --n) object[text()] = value(depth - 1);
            return object;
        }
        }
    }

    std::string text() {
        static const char* const samples[] = {
            "",       " ",         "\t\n",     "ENG",      " OPS ",      "98306",   "98307",       "text",
            "HTML",   "storage",   "pdf",      "APPEND",   "prepend",    "merge",   "- a\n- b",    "# T\n\nx",
            "<p>x</p>", "Roadmap for Q3", "a\"b", "ünïcødé ✓", "\u00A0", "../../x", "%2F", "?limit=1&x=",
            "\u2028",  "&amp;",     "<",        "@@@hl@@@", "9999999999999999999"};
        switch (pick(12)) {
        case 0: return std::string(100'000 + pick(100'000), 'x');
        case 1: return std::string(pick(5000), ' ') + samples[pick(std::size(samples))];
        default: return samples[pick(std::size(samples))];
        }
    }

    std::mt19937_64 random_;
};

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

using ToolProperties = ToolSite;

TEST_F(ToolProperties, RandomArgumentsAlwaysGiveASendableOutcome) {
    const std::uint64_t seed = environmentNumber("FOLIOPORT_TOOL_FUZZ_SEED", std::random_device{}());
    const std::uint64_t iterations = environmentNumber("FOLIOPORT_TOOL_FUZZ_ITERATIONS", 300);
    RecordProperty("seed", std::to_string(seed));
    RandomArguments random(seed);
    for (std::uint64_t i = 0; i < iterations; ++i) {
        // why: created pages pile up and would make long runs ever slower.
        if (i % 500 == 0) site->withData([](fake::SiteData& data) { data = fake::SiteData::minimal(); });
        const std::string tool = random.toolName();
        const json arguments = random.arguments();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", call " + std::to_string(i) + ": " + tool + " " +
                     arguments.dump().substr(0, 300));
        const auto outcome = call(tool, arguments);
        const std::string text = outcome ? *outcome : describe(outcome.error());
        EXPECT_FALSE(text.empty());
        EXPECT_NO_THROW((void)json(text).dump());
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace folioport::MCPServer
