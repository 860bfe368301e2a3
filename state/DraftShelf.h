#pragma once

#include <QObject>
#include <QThreadPool>

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "state/EditorDraft.h"

namespace folioport {

class DraftKeeper;

/// What is read back of the drafts an earlier run left: far above real use. Files beyond these stay where they
/// are, unread, with a line on standard error.
struct DraftLimits {
    std::size_t maxFileBytes = std::size_t{64} << 20;  ///< one draft file
    std::size_t maxDrafts = 50;                        ///< the newest this many files are read
};

/// The drafts folder and the draft keepers of the open editors. Each draft is a file "<id>.json" (mode 0600,
/// replaced atomically) in a folder of mode 0700; writes and removals run off the main thread, one at a time,
/// in the order asked. The drafts an earlier run left are read once, off the main thread, and wait until
/// their editors are reopened; their files stay until those editors save or discard them. Main thread only.
class DraftShelf : public QObject {
    Q_OBJECT

public:
    /// $XDG_STATE_HOME/com.tessaly.folioport/drafts (~/.local/state/… without it).
    static std::filesystem::path defaultFolder();

    explicit DraftShelf(std::filesystem::path folder, DraftLimits limits = {}, QObject* parent = nullptr);
    /// Waits for the writes still running; the files of open editors stay for the next start.
    ~DraftShelf() override;

    /// The drafts an earlier run left for `site` (normalised), newest first, that no editor has reopened yet.
    std::vector<EditorDraft> waiting(const std::string& site) const;
    /// Hands the waiting drafts of `site` over to be reopened: they wait no longer.
    std::vector<EditorDraft> takeWaiting(const std::string& site);

    /// Stores the draft in its file, replacing an older one.
    void keep(EditorDraft draft);
    /// Removes the draft's file.
    void drop(const std::string& id);
    /// Has every open editor keep its draft now (or drop it, with nothing unsaved) and returns once all is on
    /// disk: for a session that ends.
    void keepAllNow();

Q_SIGNALS:
    void waitingChanged();

private:
    friend class DraftKeeper;
    std::filesystem::path fileOf(const std::string& id) const;

    std::filesystem::path folder_;
    std::vector<EditorDraft> waiting_;
    std::set<DraftKeeper*> keepers_;
    QThreadPool writer_;  // one thread, so that writes and removals land in the order asked
};

}  // namespace folioport
