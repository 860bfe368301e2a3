#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "storage/BodyFormat.h"

namespace folioport {

/// What an editor with unsaved changes holds, as kept on disk until it is saved or discarded.
struct EditorDraft {
    std::string id;                     ///< names its file; one per editor, kept when the draft is reopened
    std::string site;                   ///< the site address it was written for, normalised
    std::optional<std::string> pageId;  ///< the page being edited; absent for a new page
    std::int64_t baseVersion = 0;       ///< the page's version the text was written against; 0 for a new page
    std::string spaceKey;               ///< a new page's space
    std::string parentId;               ///< a new page's parent
    BodyFormat format = BodyFormat::text;
    std::string title;
    std::string body;
    std::string note;  ///< the version note
    bool operator==(const EditorDraft&) const = default;
};

/// The draft as its file holds it: one JSON object.
std::string encodeDraft(const EditorDraft& draft);
/// The draft in `text`, named `id`; why not when it is no draft of this program (a sentence).
std::expected<EditorDraft, std::string> decodeDraft(std::string_view text, std::string id);

}  // namespace folioport
