#include "state/DraftKeeper.h"

#include <algorithm>
#include <chrono>

#include "state/DraftShelf.h"

namespace folioport {
namespace {

/// How long typing pauses before the draft is kept, and the longest a change waits to be kept while typing goes on.
constexpr std::chrono::milliseconds pause{1000};
constexpr std::chrono::milliseconds longestWait{2000};

}  // namespace

DraftKeeper::DraftKeeper(DraftShelf& shelf, std::string id, Snapshot snapshot, QObject* parent)
    : QObject(parent), shelf_(shelf), id_(std::move(id)), snapshot_(std::move(snapshot)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DraftKeeper::keepNow);
    shelf_.keepers_.insert(this);
}

DraftKeeper::~DraftKeeper() { shelf_.keepers_.erase(this); }

void DraftKeeper::noteChange() {
    if (discarded_) return;
    if (!unkeptSince_.isValid()) unkeptSince_.start();
    const auto waited = std::chrono::milliseconds(unkeptSince_.elapsed());
    timer_.start(std::clamp(longestWait - waited, std::chrono::milliseconds(0), pause));
}

void DraftKeeper::keepNow() {
    if (discarded_) return;
    timer_.stop();
    unkeptSince_.invalidate();
    std::optional<EditorDraft> draft = snapshot_();
    if (!draft) return shelf_.drop(id_);
    draft->id = id_;
    shelf_.keep(std::move(*draft));
}

void DraftKeeper::discard() {
    timer_.stop();
    discarded_ = true;
    shelf_.drop(id_);
}

}  // namespace folioport
