#include <algorithm>
#include <climits>

#include "confluence/ConfDate.h"
#include "mcp/ToolArguments.h"
#include "mcp/ToolHandlers.h"
#include "storage/Utf8.h"

namespace folioport::MCPServer {
namespace {

// The "limit" argument, defaulted, raised to at least 1 and kept within the client's int.
int limitArg(const nlohmann::json& arguments, int fallback) {
    const std::int64_t limit = intArg(arguments, "limit").value_or(fallback);
    return static_cast<int>(std::clamp<std::int64_t>(limit, 1, INT_MAX));
}

std::string scopeOf(const std::optional<std::string>& key) {
    return key ? "space " + *key : std::string("all spaces");
}

std::string ageOf(const std::optional<std::string>& date, const ToolCall& call) {
    if (const auto parsed = ConfDate::parse(date)) return ConfDate::relativeDays(*parsed, call.now);
    return "—";
}

std::string joinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : "\n") + lines[i];
    return text;
}

std::string searchEntry(const SearchResult& result, const ToolCall& call) {
    const std::optional<SearchContent>& content = result.content;
    std::string entry = "  " + Utf8::oneLine(content && content->id ? *content->id : std::string("?")) + "  ";
    if (content && content->title)
        entry += Utf8::oneLine(*content->title);
    else
        entry += Utf8::oneLine(result.title.value_or("(untitled)"));
    if (result.resultGlobalContainer && result.resultGlobalContainer->title)
        entry += " [" + Utf8::oneLine(*result.resultGlobalContainer->title) + "]";
    if (const auto modified = ConfDate::parse(result.lastModified))
        entry += " (" + ConfDate::relativeDays(*modified, call.now) + ")";
    if (const std::optional<std::string> excerpt = result.plainExcerpt()) entry += "\n      " + Utf8::oneLine(*excerpt);
    return entry;
}

}  // namespace

ToolResult listSpaces(const ToolCall& call) {
    const auto spaces = call.client.spaces(limitArg(call.arguments, 100), call.stop);
    if (!spaces) return std::unexpected(spaces.error());
    if (spaces->empty()) return "No spaces are visible to this account.";
    std::vector<std::string> lines;
    for (const Space& space : *spaces)
        lines.push_back("  " + Utf8::oneLine(space.key) + "  " + Utf8::oneLine(space.name.value_or(space.key)) +
                        "  (id " + Utf8::oneLine(space.id) + ")");
    return "Spaces — " + std::to_string(spaces->size()) + ":\n" + joinedLines(lines);
}

ToolResult listPages(const ToolCall& call) {
    const int limit = limitArg(call.arguments, 25);
    const std::optional<std::string> key = spaceKey(call.arguments, call.settings);
    std::optional<std::string> spaceId;
    if (key) {
        const auto space = call.client.space(*key, call.stop);
        if (!space) return std::unexpected(space.error());
        spaceId = space->id;
    }
    const auto pages = call.client.pages(spaceId, limit, call.stop);
    if (!pages) return std::unexpected(pages.error());

    const std::string scope = scopeOf(key);
    if (pages->empty()) return "No pages in " + scope + ".";
    std::vector<std::string> lines;
    for (const Page& page : *pages) {
        const std::optional<std::string> changed = page.version ? page.version->createdAt : std::nullopt;
        lines.push_back("  " + Utf8::oneLine(page.id) + "  v" + std::to_string(versionOf(page)) + "  " +
                        Utf8::oneLine(titleOf(page)) + "  (" + ageOf(changed, call) + ")");
    }
    return "Pages in " + scope + " — " + std::to_string(pages->size()) + ", most recently updated first:\n" +
           joinedLines(lines);
}

ToolResult searchPages(const ToolCall& call) {
    const std::optional<std::string> query = trimmedArg(call.arguments, "query");
    if (!query) return std::unexpected(ToolError{ToolError::Kind::queryRequired});
    const int limit = limitArg(call.arguments, 25);
    const std::optional<std::string> key = spaceKey(call.arguments, call.settings);
    const auto results = call.client.search(*query, key, limit, call.stop);
    if (!results) return std::unexpected(results.error());

    const std::string scope = scopeOf(key);
    const std::string quoted = "\"" + *query + "\"";
    if (results->empty()) return "Nothing in " + scope + " matched " + quoted + ".";
    std::vector<std::string> entries;
    for (const SearchResult& result : *results) entries.push_back(searchEntry(result, call));
    const std::size_t count = results->size();
    return std::to_string(count) + (count == 1 ? " result" : " results") + " in " + scope + " for " + quoted +
           ":\n" + joinedLines(entries);
}

}  // namespace folioport::MCPServer
