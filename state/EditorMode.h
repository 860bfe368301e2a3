#pragma once

#include <optional>
#include <string>
#include <variant>

#include "state/EditorDraft.h"

namespace folioport {

/// A page editor that writes a new page into `spaceKey` (may be empty), under `parentId` when given.
struct CreatePage {
    std::string spaceKey;
    std::optional<std::string> parentId;
    bool operator==(const CreatePage&) const = default;
};

/// A page editor for the existing page `pageId`.
struct EditPage {
    std::string pageId;
    bool operator==(const EditPage&) const = default;
};

/// A page editor that takes up a draft an earlier run left: its text, against the page as the site has it now.
struct ReopenDraft {
    EditorDraft draft;
    bool operator==(const ReopenDraft&) const = default;
};

/// What a page editor is opened for.
using EditorMode = std::variant<CreatePage, EditPage, ReopenDraft>;

}  // namespace folioport
