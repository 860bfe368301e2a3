#include "app/EditorRequest.h"

#include "state/AppStore.h"

namespace folioport {

namespace {
const std::string newPageTitle = "New Confluence Page";
}  // namespace

EditorRequest newPageRequest(const AppStore& store) {
    return {CreatePage{store.settings().spaceKey, std::nullopt}, newPageKey, newPageTitle};
}

EditorRequest newChildPageRequest(const AppStore& store, const Page& parent) {
    std::string spaceKey = store.settings().spaceKey;
    if (parent.spaceId) {
        const auto keys = store.spaceKeysById();
        if (auto known = keys.find(*parent.spaceId); known != keys.end()) spaceKey = known->second;
    }
    return {CreatePage{std::move(spaceKey), parent.id}, newPageKey, newPageTitle};
}

EditorRequest editPageRequest(const Page& page) { return {EditPage{page.id}, page.id, titleOf(page)}; }

EditorRequest reopenDraftRequest(EditorDraft draft) {
    std::string key = "draft:" + draft.id;
    std::string title = !draft.pageId ? newPageTitle : draft.title.empty() ? "(untitled)" : draft.title;
    return {ReopenDraft{std::move(draft)}, std::move(key), std::move(title)};
}

}  // namespace folioport
