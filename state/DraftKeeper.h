#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

#include "state/EditorDraft.h"

namespace folioport {

class DraftShelf;

/// Keeps one editor's draft on the shelf: a second after its texts last changed, and at most two seconds after
/// the first change not yet kept, it asks the editor for its draft and keeps it, or drops the file when nothing
/// is unsaved. A change costs only a timer restart; the editor's texts are read when the timer fires. Main
/// thread only; a keeper that dies leaves its file for the next start.
class DraftKeeper : public QObject {
    Q_OBJECT

public:
    /// The editor's draft (any id) while it has unsaved changes; nothing when it has none.
    using Snapshot = std::function<std::optional<EditorDraft>()>;

    /// `id` names the draft's file: a fresh one for a new editor, the draft's own for one reopened.
    DraftKeeper(DraftShelf& shelf, std::string id, Snapshot snapshot, QObject* parent = nullptr);
    ~DraftKeeper() override;

    /// The editor's texts changed.
    void noteChange();
    /// Keeps the draft (or drops the file) at once.
    void keepNow();
    /// The editor's text was discarded: the file goes, and nothing is kept any more.
    void discard();

private:
    DraftShelf& shelf_;
    std::string id_;
    Snapshot snapshot_;
    QTimer timer_;
    QElapsedTimer unkeptSince_;  // invalid while everything is kept
    bool discarded_ = false;
};

}  // namespace folioport
