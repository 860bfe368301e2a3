#pragma once

#include <optional>
#include <string>
#include <variant>

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

/// What a page editor is opened for.
using EditorMode = std::variant<CreatePage, EditPage>;

}  // namespace folioport
