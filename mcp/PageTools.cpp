#include <limits>

#include "confluence/PageInSpace.h"
#include "confluence/PageLink.h"
#include "mcp/ToolArguments.h"
#include "mcp/ToolHandlers.h"
#include "storage/BodyFormat.h"
#include "storage/Utf8.h"

namespace folioport::MCPServer {
namespace {

std::expected<BodyFormat, ToolError> formatArg(const nlohmann::json& arguments) {
    return bodyFormat(stringArg(arguments, "format"), BodyFormat::text);
}

enum class Mode { replace, append, prepend };

std::expected<Mode, ToolError> modeArg(const nlohmann::json& arguments) {
    const std::string mode = asciiLowercased(trimmedArg(arguments, "mode").value_or("replace"));
    if (mode == "replace") return Mode::replace;
    if (mode == "append") return Mode::append;
    if (mode == "prepend") return Mode::prepend;
    return std::unexpected(ToolError{ToolError::Kind::badMode});
}

std::string_view verbOf(Mode mode) {
    switch (mode) {
        case Mode::replace: return "Updated";
        case Mode::append: return "Appended to";
        case Mode::prepend: return "Prepended to";
    }
    return "Updated";
}

}  // namespace

ToolResult getPage(const ToolCall& call) {
    const auto page = resolvePage(call);
    if (!page) return std::unexpected(page.error());
    // why: the format is judged only after the fetch, so a bad format still shows whether the page exists.
    const auto format = formatArg(call.arguments);
    if (!format) return std::unexpected(format.error());
    const std::string body =
        *format == BodyFormat::storage ? storageBodyOf(*page) : page->plainTextBody().value_or(std::string{});
    return header(*page, call) + "\n\n" + (body.empty() ? std::string("(empty page)") : body);
}

ToolResult createPage(const ToolCall& call) {
    const std::optional<std::string> title = trimmedArg(call.arguments, "title");
    if (!title) return std::unexpected(ToolError{ToolError::Kind::titleRequired});
    const std::optional<std::string> key = spaceKey(call.arguments, call.settings);
    if (!key) return std::unexpected(ToolError{ToolError::Kind::noSpace});
    const auto format = formatArg(call.arguments);
    if (!format) return std::unexpected(format.error());
    const std::string body = Storage::asStorage(stringArg(call.arguments, "body").value_or(std::string{}), *format);

    const auto created =
        createPageInSpace(call.client, *key, *title, body, trimmedArg(call.arguments, "parentId"), call.stop);
    if (!created) return std::unexpected(created.error());
    return "Created page " + Utf8::oneLine(created->page.id) + " — " + Utf8::oneLine(*title) + " in " +
           Utf8::oneLine(created->space.key) + "\n" + Utf8::oneLine(call.client.webURL(created->page));
}

ToolResult updatePage(const ToolCall& call) {
    const auto page = resolvePage(call);
    if (!page) return std::unexpected(page.error());
    const auto format = formatArg(call.arguments);
    if (!format) return std::unexpected(format.error());
    const auto mode = modeArg(call.arguments);
    if (!mode) return std::unexpected(mode.error());

    const std::string title = trimmedArg(call.arguments, "newTitle").value_or(titleOf(*page));
    const std::string existing = storageBodyOf(*page);
    const std::optional<std::string> given = stringArg(call.arguments, "body");
    std::string newBody;
    std::string_view verb;
    if (given) {
        const std::string part = Storage::asStorage(*given, *format);
        newBody = *mode == Mode::replace ? part : *mode == Mode::append ? existing + part : part + existing;
        verb = verbOf(*mode);
    } else if (hasArg(call.arguments, "newTitle")) {
        newBody = existing;
        verb = "Renamed";
    } else {
        return std::unexpected(ToolError{ToolError::Kind::nothingToChange});
    }

    const std::int64_t currentVersion = versionOf(*page);
    if (currentVersion == std::numeric_limits<std::int64_t>::max())
        return std::unexpected(ToolError(ToolError::Kind::lastVersion, Utf8::oneLine(page->id)));
    const auto updated = call.client.updatePage(page->id, title, newBody, currentVersion,
                                                trimmedArg(call.arguments, "versionMessage"), call.stop);
    if (!updated) return std::unexpected(updated.error());
    // why: the answer names the page written to, whatever id the site's reply carries.
    return std::string(verb) + " page " + Utf8::oneLine(page->id) + " — " + Utf8::oneLine(title) + ", now v" +
           std::to_string(currentVersion + 1) + "\n" + Utf8::oneLine(call.client.webURL(*updated));
}

ToolResult deletePage(const ToolCall& call) {
    const std::optional<std::string> pasted = trimmedArg(call.arguments, "pageId");
    if (!pasted) return std::unexpected(ToolError{ToolError::Kind::pageIdRequired});
    const auto pageId = pageIdFromLink(*pasted, call.client.config());
    if (!pageId) return std::unexpected(pageId.error());
    const bool purge = boolArg(call.arguments, "purge").value_or(false);

    // why: the read only names the page in the answer; an unreadable page is still deleted.
    const auto page = call.client.page(*pageId, false, call.stop);
    const std::string label = Utf8::oneLine(page ? titleOf(*page) : *pageId);
    const auto deleted = call.client.deletePage(*pageId, purge, call.stop);
    if (!deleted) return std::unexpected(deleted.error());
    const std::string id = Utf8::oneLine(*pageId);
    if (purge) return "Permanently deleted page " + id + " — " + label + ".";
    return "Moved page " + id + " — " + label + " to the space's trash. It can be restored from there.";
}

}  // namespace folioport::MCPServer
