#include "mcp/ToolError.h"

namespace folioport::MCPServer {

std::string describe(const ToolError& error) {
    using enum ToolError::Kind;
    switch (error.kind) {
    case unknownTool: return "Unknown tool: " + error.detail;
    case queryRequired: return "`query` is required.";
    case badFormat: return "`format` must be 'text' or 'storage' — got '" + error.detail + "'.";
    case noPageSelector: return "Pass either `pageId` or `title` (with a `spaceKey`).";
    case titleNeedsSpace: return "`title` needs a `spaceKey` (or a default space in Folioport Settings).";
    case titleRequired: return "`title` is required.";
    case noSpace: return "No `spaceKey` given and no default space set in Folioport Settings.";
    case badMode: return "`mode` must be one of replace, append, prepend.";
    case nothingToChange: return "Nothing to change — pass `body`, `newTitle`, or both.";
    case pageIdRequired: return "`pageId` is required — look it up with search_pages or list_pages first.";
    case failedInternally: return error.detail;
    case noServices:
        return "Folioport cannot reach Confluence or the keyring: " + error.detail +
               ". Reinstall Folioport so that the library lies in its lib folder.";
    case lastVersion:
        return "Page " + error.detail + " already has the highest version number there can be, so no newer "
               "version can be saved.";
    case readOnly:
        return "Folioport lets AI assistants only read pages; turn this off in Folioport's Settings to let them "
               "write.";
    }
    return {};
}

std::string describe(const ToolFailure& failure) {
    return std::visit([](const auto& error) { return describe(error); }, failure);
}

}  // namespace folioport::MCPServer
