#include "mcp/ToolCall.h"

#include "confluence/ConfDate.h"
#include "confluence/PageLink.h"
#include "mcp/ToolArguments.h"
#include "storage/Utf8.h"

namespace folioport::MCPServer {

std::optional<std::string> spaceKey(const nlohmann::json& arguments, const Settings& settings) {
    std::string key = trimmed(stringArg(arguments, "spaceKey").value_or(settings.spaceKey));
    if (key.empty()) return std::nullopt;
    return key;
}

std::expected<BodyFormat, ToolError> bodyFormat(const std::optional<std::string>& value, BodyFormat fallback) {
    if (!value) return fallback;
    const std::string name = asciiLowercased(trimmed(*value));
    if (name.empty()) return fallback;
    if (name == "text" || name == "plain" || name == "plaintext" || name == "markdown") return BodyFormat::text;
    if (name == "storage" || name == "xhtml" || name == "html") return BodyFormat::storage;
    return std::unexpected(ToolError::badFormat(name));
}

std::expected<Page, ToolFailure> resolvePage(const ToolCall& call) {
    if (const std::optional<std::string> pageId = trimmedArg(call.arguments, "pageId")) {
        const auto id = pageIdFromLink(*pageId, call.client.config());
        if (!id) return std::unexpected(id.error());
        auto page = call.client.page(*id, true, call.stop);
        if (!page) return std::unexpected(page.error());
        return std::move(*page);
    }
    if (const std::optional<std::string> title = trimmedArg(call.arguments, "title")) {
        const std::optional<std::string> key = spaceKey(call.arguments, call.settings);
        if (!key) return std::unexpected(ToolError{ToolError::Kind::titleNeedsSpace});
        const auto space = call.client.space(*key, call.stop);
        if (!space) return std::unexpected(space.error());
        auto page = call.client.page(*title, space->id, true, call.stop);
        if (!page) return std::unexpected(page.error());
        return std::move(*page);
    }
    return std::unexpected(ToolError{ToolError::Kind::noPageSelector});
}

std::string header(const Page& page, const ToolCall& call) {
    std::string updated = "unknown";
    if (page.version)
        if (const auto date = ConfDate::parse(page.version->createdAt))
            updated = ConfDate::dayLabel(*date) + " (" + ConfDate::relativeDays(*date, call.now) + ")";
    return Utf8::oneLine(titleOf(page)) + "\nid: " + Utf8::oneLine(page.id) +
           " · version: " + std::to_string(versionOf(page)) + " · updated: " + updated + "\n" +
           Utf8::oneLine(call.client.webURL(page));
}

}  // namespace folioport::MCPServer
