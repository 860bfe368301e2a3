#include "state/EditorDraft.h"

#include <nlohmann/json.hpp>

namespace folioport {
namespace {

using nlohmann::json;

constexpr int formatVersion = 1;

}  // namespace

std::string encodeDraft(const EditorDraft& draft) {
    json object = {{"draftFormat", formatVersion},
                   {"site", draft.site},
                   {"format", draft.format == BodyFormat::storage ? "storage" : "text"},
                   {"title", draft.title},
                   {"body", draft.body}};
    if (draft.pageId) {
        object["pageId"] = *draft.pageId;
        object["baseVersion"] = draft.baseVersion;
        object["note"] = draft.note;
    } else {
        object["spaceKey"] = draft.spaceKey;
        object["parentId"] = draft.parentId;
    }
    // why: typed text that is not valid UTF-8 is kept with U+FFFD rather than lost to an exception.
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::expected<EditorDraft, std::string> decodeDraft(std::string_view text, std::string id) {
    const json object = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!object.is_object() || object.value("draftFormat", json()) != formatVersion)
        return std::unexpected("it is not a draft of this version of Folioport");
    auto string = [&](const char* key) -> std::optional<std::string> {
        const auto found = object.find(key);
        if (found == object.end() || !found->is_string()) return std::nullopt;
        return found->get<std::string>();
    };
    EditorDraft draft;
    draft.id = std::move(id);
    const auto site = string("site"), format = string("format"), title = string("title"), body = string("body");
    if (!site || !format || (*format != "text" && *format != "storage") || !title || !body)
        return std::unexpected("it lacks the site, format, title or body");
    draft.site = *site;
    draft.format = *format == "storage" ? BodyFormat::storage : BodyFormat::text;
    draft.title = *title;
    draft.body = *body;
    draft.pageId = string("pageId");
    if (draft.pageId) {
        const auto base = object.find("baseVersion");
        if (base == object.end() || !base->is_number_integer()) return std::unexpected("it lacks the page's version");
        draft.baseVersion = base->get<std::int64_t>();
        draft.note = string("note").value_or("");
    } else {
        draft.spaceKey = string("spaceKey").value_or("");
        draft.parentId = string("parentId").value_or("");
    }
    return draft;
}

}  // namespace folioport
