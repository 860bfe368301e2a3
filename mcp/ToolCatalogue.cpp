#include "mcp/ToolCatalogue.h"

#include <algorithm>
#include <initializer_list>

#include "mcp/ToolHandlers.h"

namespace folioport::MCPServer {
namespace {

using nlohmann::json;

struct Property {
    std::string_view name;
    std::string_view type;
    std::string_view description;
    std::initializer_list<std::string_view> choices = {};
};

json propertyMap(std::initializer_list<Property> properties) {
    json map = json::object();
    for (const auto& property : properties) {
        json schema{{"type", property.type}, {"description", property.description}};
        if (property.choices.size() > 0) {
            schema["enum"] = json::array();
            for (const auto choice : property.choices) schema["enum"].push_back(choice);
        }
        map[std::string(property.name)] = std::move(schema);
    }
    return map;
}

/// pageId, title and spaceKey: how get_page and update_page pick one page.
const json& pageSelectorProperties() {
    static const json properties = propertyMap({
        {"pageId", "string", "The page's numeric id, as returned by list_pages / search_pages."},
        {"title", "string", "Exact page title, as an alternative to pageId. Needs a space."},
        {"spaceKey", "string", "Space key for the title lookup, e.g. ENG. Defaults to the configured space."},
    });
    return properties;
}

constexpr std::string_view writeFormatDescription =
    "How to read `body`: 'text' (default) is plain text — a blank line starts a new paragraph, lines starting "
    "with '- ' become bullets, leading #'s become headings. 'storage' is Confluence storage format (XHTML: <p>, "
    "<h2>, <ul><li>, <ac:…> macros) and is written through untouched. Use 'storage' for anything richer than "
    "prose.";

json inputSchema(json properties, std::initializer_list<std::string_view> required = {}) {
    json schema{{"type", "object"}, {"properties", std::move(properties)}};
    if (required.size() > 0) {
        schema["required"] = json::array();
        for (const auto argument : required) schema["required"].push_back(argument);
    }
    return schema;
}

json withPageSelector(json ownProperties) {
    ownProperties.update(pageSelectorProperties());
    return ownProperties;
}

}  // namespace

const std::vector<Tool>& tools() {
    static const std::vector<Tool> table{
        {"list_spaces", "List the Confluence spaces this account can see, with their keys and ids.",
         inputSchema(propertyMap({
             {"limit", "integer", "Maximum spaces to return. Defaults to 100."},
         })),
         &listSpaces, Tool::Access::reads},
        {"list_pages",
         "List the most recently updated pages, newest first. Defaults to the space configured in Folioport's "
         "Settings; pass an empty spaceKey to span every readable space.",
         inputSchema(propertyMap({
             {"spaceKey", "string", "Space key, e.g. ENG. Defaults to the configured space; \"\" means all spaces."},
             {"limit", "integer", "Maximum pages to return. Defaults to 25."},
         })),
         &listPages, Tool::Access::reads},
        {"search_pages", "Full-text search for pages (CQL `text ~`), most recently modified first.",
         inputSchema(propertyMap({
                         {"query", "string", "Text to search for."},
                         {"spaceKey", "string",
                          "Restrict to one space. Defaults to the configured space; \"\" searches everywhere."},
                         {"limit", "integer", "Maximum results. Defaults to 25."},
                     }),
                     {"query"}),
         &searchPages, Tool::Access::reads},
        {"get_page",
         "Read one page: its metadata plus its body. Identify it by pageId, or by exact title within a space.",
         inputSchema(withPageSelector(propertyMap({
             {"format", "string",
              "'text' (default) flattens the body to plain text; 'storage' returns the raw Confluence storage "
              "format, which is what update_page expects when editing existing markup.",
              {"text", "storage"}},
         }))),
         &getPage, Tool::Access::reads},
        {"create_page", "Create a page in a space, optionally under a parent page. Returns the new page's id and URL.",
         inputSchema(propertyMap({
                         {"title", "string", "Page title. Must be unique within the space."},
                         {"body", "string", "Page content. Optional — an empty page is valid."},
                         {"format", "string", writeFormatDescription, {"text", "storage"}},
                         {"spaceKey", "string", "Space key, e.g. ENG. Defaults to the configured space."},
                         {"parentId", "string", "Create as a child of this page id. Optional."},
                     }),
                     {"title"}),
         &createPage, Tool::Access::writes},
        {"update_page",
         "Save a new version of an existing page: replace its body, append to it or prepend to it, and "
         "optionally rename it. Reads the page first, so the edit always lands on the current version.",
         inputSchema(withPageSelector(propertyMap({
             {"body", "string", "New content. Omit to rename without touching the body."},
             {"format", "string", writeFormatDescription, {"text", "storage"}},
             {"mode", "string", "What to do with `body`. Defaults to 'replace'.", {"replace", "append", "prepend"}},
             {"newTitle", "string", "Rename the page. Optional."},
             {"versionMessage", "string", "Note stored with this version, shown in the page's history."},
         }))),
         &updatePage, Tool::Access::writes},
        {"delete_page",
         "Move a page to the space's trash, where Confluence keeps it until the trash is emptied. Requires the "
         "page id — look it up with search_pages or list_pages first, so the right page is deleted.",
         inputSchema(propertyMap({
                         {"pageId", "string", "The page's numeric id."},
                         {"purge", "boolean",
                          "Delete permanently instead of trashing. Only works on a page that is already in the "
                          "trash. Defaults to false."},
                     }),
                     {"pageId"}),
         &deletePage, Tool::Access::writes},
    };
    return table;
}

const Tool* findTool(std::string_view name) {
    const auto& table = tools();
    const auto found = std::ranges::find(table, name, &Tool::name);
    return found == table.end() ? nullptr : &*found;
}

json toolDefinitions() {
    json definitions = json::array();
    for (const Tool& tool : tools())
        definitions.push_back(
            {{"name", tool.name}, {"description", tool.description}, {"inputSchema", tool.inputSchema}});
    return definitions;
}

std::vector<std::string> toolNames() {
    std::vector<std::string> names;
    for (const Tool& tool : tools()) names.emplace_back(tool.name);
    return names;
}

}  // namespace folioport::MCPServer
