#pragma once

#include <string>

#include "confluence/Records.h"
#include "state/EditorMode.h"

namespace folioport {

class AppStore;

/// What an editor window is opened with: its mode, its slot key ("new" or a page id) and its title.
struct EditorRequest {
    EditorMode mode;
    std::string key;
    std::string title;
    bool operator==(const EditorRequest&) const = default;
};

/// The slot of the one editor that creates a page, whatever its space or parent.
inline constexpr const char* newPageKey = "new";

/// A new page in the store's space, from the panel header.
EditorRequest newPageRequest(const AppStore& store);
/// A new page under `parent`, in the parent's space when the loaded spaces know it, else the store's.
EditorRequest newChildPageRequest(const AppStore& store, const Page& parent);
/// The editor of `page`, titled by the page's title or "(untitled)".
EditorRequest editPageRequest(const Page& page);
/// The editor of a draft an earlier run left, in a slot of its own ("draft:" and its id), titled by its title (or
/// "(untitled)") when it edits a page, else as a new page.
EditorRequest reopenDraftRequest(EditorDraft draft);

}  // namespace folioport
