#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FakeConfluence.h"
#include "mcp/ToolOperations.h"

namespace folioport::MCPServer {

/// A fake site with the minimal data, and tool calls against it at a fixed "now" (03 December
/// 2026, noon UTC); every call starts with an empty request log.
class ToolSite : public ::testing::Test {
protected:
    void SetUp() override {
        auto started = fake::FakeConfluence::start();
        ASSERT_TRUE(started) << started.error();
        site = std::move(*started);
    }

    std::expected<std::string, ToolFailure> call(std::string_view tool, const nlohmann::json& arguments) {
        site->clearRequests();
        const Settings settings{{site->baseURL(), "mia@example.com", "test-token"}, defaultSpace};
        return perform(tool, arguments, [&] { return settings; }, [&] { return now; });
    }

    /// The text of a call that must succeed.
    std::string answer(std::string_view tool, const nlohmann::json& arguments) {
        auto outcome = call(tool, arguments);
        EXPECT_TRUE(outcome) << (outcome ? "" : describe(outcome.error()));
        return outcome.value_or("");
    }

    /// The description of a call that must fail.
    std::string failure(std::string_view tool, const nlohmann::json& arguments) {
        auto outcome = call(tool, arguments);
        EXPECT_FALSE(outcome) << *outcome;
        return outcome ? "" : describe(outcome.error());
    }

    /// "METHOD path?name=value&…" of each request since the last call, values decoded.
    std::vector<std::string> requests() const {
        std::vector<std::string> lines;
        for (const auto& request : site->requests()) {
            std::string line = request.method + " " + request.path;
            for (std::size_t i = 0; i < request.query.size(); ++i)
                line += (i == 0 ? "?" : "&") + request.query[i].first + "=" + request.query[i].second;
            lines.push_back(line);
        }
        return lines;
    }

    /// The JSON body of the last request.
    nlohmann::json lastBody() const {
        const auto logged = site->requests();
        return logged.empty() ? nlohmann::json() : nlohmann::json::parse(logged.back().body, nullptr, false);
    }

    std::string wiki() const { return site->baseURL() + "/wiki"; }

    std::unique_ptr<fake::FakeConfluence> site;
    std::string defaultSpace = "ENG";
    std::chrono::system_clock::time_point now = std::chrono::sys_days{std::chrono::December / 3 / 2026} + std::chrono::hours(12);
};

inline const std::string engLookup = "GET /wiki/api/v2/spaces?keys=ENG&limit=1";

}  // namespace folioport::MCPServer
