#include <gtest/gtest.h>

#include "mcp/ToolArguments.h"
#include "mcp/ToolCall.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

struct ArgumentRow {
    const char* name;
    json value;  // the value of the argument "x"; discarded() means the member is missing
    std::optional<std::string> string;
    std::optional<std::string> trimmedString;
    std::optional<std::int64_t> integer;
    std::optional<bool> boolean;
};

TEST(ToolArguments, EachReaderCountsOnlyItsOwnJsonType) {
    const ArgumentRow rows[] = {
        {"missing", json(json::value_t::discarded), {}, {}, {}, {}},
        {"null", nullptr, {}, {}, {}, {}},
        {"string with blanks and line breaks", " \tENG\r\n", " \tENG\r\n", "ENG", {}, {}},
        {"blank string", "  \n ", "  \n ", {}, {}, {}},
        {"no-break and ideographic spaces", "\u00A0ENG\u3000", "\u00A0ENG\u3000", "ENG", {}, {}},
        {"digits in a string", "42", "42", "42", {}, {}},
        {"integer", 42, {}, {}, 42, {}},
        {"integral double", 7.0, {}, {}, 7, {}},
        {"fractional double", 2.5, {}, {}, {}, {}},
        {"unsigned beyond 64-bit signed", json(18446744073709551615ULL), {}, {}, {}, {}},
        {"double beyond 64 bits", 1e300, {}, {}, {}, {}},
        {"true", true, {}, {}, {}, true},
        {"string true", "true", "true", "true", {}, {}},
        {"array", json::array({"ENG"}), {}, {}, {}, {}},
        {"object", json{{"key", "ENG"}}, {}, {}, {}, {}},
    };
    for (const ArgumentRow& row : rows) {
        SCOPED_TRACE(row.name);
        const json arguments = row.value.is_discarded() ? json::object() : json{{"x", row.value}};
        EXPECT_EQ(stringArg(arguments, "x"), row.string);
        EXPECT_EQ(trimmedArg(arguments, "x"), row.trimmedString);
        EXPECT_EQ(intArg(arguments, "x"), row.integer);
        EXPECT_EQ(boolArg(arguments, "x"), row.boolean);
        EXPECT_EQ(hasArg(arguments, "x"), !row.value.is_discarded());
    }
}

TEST(ToolArguments, ArgumentsThatAreNoObjectHaveNoMembers) {
    for (const json& arguments : {json(nullptr), json::array({"x"}), json("x"), json(3)}) {
        EXPECT_EQ(stringArg(arguments, "x"), std::nullopt);
        EXPECT_FALSE(hasArg(arguments, "x"));
    }
}

TEST(ToolCall, BodyFormatReadsAliasesAndNamesTheBadValue) {
    struct Row {
        const char* name;
        std::optional<std::string> value;
        BodyFormat fallback;
        std::expected<BodyFormat, ToolError> expected;
    };
    const Row rows[] = {
        {"absent gives the default", {}, BodyFormat::text, BodyFormat::text},
        {"blank gives the default", "  ", BodyFormat::storage, BodyFormat::storage},
        {"plaintext", "PlainText", BodyFormat::storage, BodyFormat::text},
        {"Markdown is plain text", " Markdown ", BodyFormat::storage, BodyFormat::text},
        {"XHTML", "XHTML", BodyFormat::text, BodyFormat::storage},
        {"inner blank", "plain text", BodyFormat::text,
         std::unexpected(ToolError::badFormat("plain text"))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(bodyFormat(row.value, row.fallback), row.expected);
    }
}

TEST(ToolCall, SpaceKeyPrefersAnExplicitStringEvenWhenBlank) {
    struct Row {
        const char* name;
        json arguments;
        std::string configured;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"no argument uses the configured space", json::object(), "DOCS", "DOCS"},
        {"nothing configured", json::object(), "", std::nullopt},
        {"blank configured space", json::object(), "  ", std::nullopt},
        {"explicit key wins", {{"spaceKey", " ENG "}}, "DOCS", "ENG"},
        {"explicit blank key means none", {{"spaceKey", " \t"}}, "DOCS", std::nullopt},
        {"a number is no key", {{"spaceKey", 7}}, "DOCS", "DOCS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(spaceKey(row.arguments, Settings{{}, row.configured, {}}), row.expected);
    }
}

}  // namespace
}  // namespace folioport::MCPServer
