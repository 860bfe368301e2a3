#include "mcp/ToolCatalogue.h"

#include <initializer_list>
#include <string_view>

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

json tool(std::string_view name, std::string_view description, json properties,
          std::initializer_list<std::string_view> required = {}) {
    json schema{{"type", "object"}, {"properties", std::move(properties)}};
    if (required.size() > 0) {
        schema["required"] = json::array();
        for (const auto argument : required) schema["required"].push_back(argument);
    }
    return json{{"name", name}, {"description", description}, {"inputSchema", std::move(schema)}};
}

json withPageSelector(json ownProperties) {
    ownProperties.update(pageSelectorProperties());
    return ownProperties;
}

}  // namespace

json toolDefinitions() {
    return json::array({
        tool("list_spaces", "List the Confluence spaces this account can see, with their keys and ids.",
             propertyMap({
                 {"limit", "integer", "Maximum spaces to return. Defaults to 100."},
             })),
        tool("list_pages",
             "List the most recently updated pages, newest first. Defaults to the space configured in Folioport's "
             "Settings; pass an empty spaceKey to span every readable space.",
             propertyMap({
                 {"spaceKey", "string", "Space key, e.g. ENG. Defaults to the configured space; \"\" means all spaces."},
                 {"limit", "integer", "Maximum pages to return. Defaults to 25."},
             })),
        tool("search_pages", "Full-text search for pages (CQL `text ~`), most recently modified first.",
             propertyMap({
                 {"query", "string", "Text to search for."},
                 {"spaceKey", "string",
                  "Restrict to one space. Defaults to the configured space; \"\" searches everywhere."},
                 {"limit", "integer", "Maximum results. Defaults to 25."},
             }),
             {"query"}),
        tool("get_page",
             "Read one page: its metadata plus its body. Identify it by pageId, or by exact title within a space.",
             withPageSelector(propertyMap({
                 {"format", "string",
                  "'text' (default) flattens the body to plain text; 'storage' returns the raw Confluence storage "
                  "format, which is what update_page expects when editing existing markup.",
                  {"text", "storage"}},
             }))),
        tool("create_page",
             "Create a page in a space, optionally under a parent page. Returns the new page's id and URL.",
             propertyMap({
                 {"title", "string", "Page title. Must be unique within the space."},
                 {"body", "string", "Page content. Optional — an empty page is valid."},
                 {"format", "string", writeFormatDescription, {"text", "storage"}},
                 {"spaceKey", "string", "Space key, e.g. ENG. Defaults to the configured space."},
                 {"parentId", "string", "Create as a child of this page id. Optional."},
             }),
             {"title"}),
        tool("update_page",
             "Save a new version of an existing page: replace its body, append to it or prepend to it, and "
             "optionally rename it. Reads the page first, so the edit always lands on the current version.",
             withPageSelector(propertyMap({
                 {"body", "string", "New content. Omit to rename without touching the body."},
                 {"format", "string", writeFormatDescription, {"text", "storage"}},
                 {"mode", "string", "What to do with `body`. Defaults to 'replace'.", {"replace", "append", "prepend"}},
                 {"newTitle", "string", "Rename the page. Optional."},
                 {"versionMessage", "string", "Note stored with this version, shown in the page's history."},
             }))),
        tool("delete_page",
             "Move a page to the space's trash, where Confluence keeps it until the trash is emptied. Requires the "
             "page id — look it up with search_pages or list_pages first, so the right page is deleted.",
             propertyMap({
                 {"pageId", "string", "The page's numeric id."},
                 {"purge", "boolean",
                  "Delete permanently instead of trashing. Only works on a page that is already in the trash. "
                  "Defaults to false."},
             }),
             {"pageId"}),
    });
}

std::vector<std::string> toolNames() {
    std::vector<std::string> names;
    for (const auto& definition : toolDefinitions()) {
        if (const auto name = definition.find("name"); name != definition.end() && name->is_string()) {
            names.push_back(name->get<std::string>());
        }
    }
    return names;
}

}  // namespace folioport::MCPServer
