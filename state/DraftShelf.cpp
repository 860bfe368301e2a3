#include "state/DraftShelf.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <ranges>

#include "async/OffThread.h"
#include "platform/Posix.h"
#include "platform/XdgPaths.h"
#include "state/DraftKeeper.h"

namespace folioport {
namespace {

constexpr std::string_view suffix = ".json";

/// The drafts in `folder`, newest first, within `limits`; each file that is not read is named on standard error.
std::vector<EditorDraft> readDrafts(const std::filesystem::path& folder, const DraftLimits& limits) {
    struct Found {
        std::filesystem::path file;
        std::filesystem::file_time_type changed;
    };
    std::vector<Found> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() && name.ends_with(suffix))
            found.push_back({entry.path(), entry.last_write_time(error)});
    }
    std::ranges::sort(found, std::ranges::greater{}, &Found::changed);
    std::vector<EditorDraft> drafts;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const std::filesystem::path& file = found[i].file;
        auto skipped = [&](const std::string& why) {
            std::cerr << "Folioport: the draft " << file.string() << " was not read back: " << why << ".\n";
        };
        if (i >= limits.maxDrafts) {
            skipped("only the newest " + std::to_string(limits.maxDrafts) + " drafts are offered");
            continue;
        }
        const auto text = platform::readRegularFile(file, limits.maxFileBytes, /*followSymlinks=*/false);
        if (!text) {
            using Kind = platform::FileReadFailure::Kind;
            skipped(text.error().kind == Kind::tooLarge ? "it is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MB"
                    : text.error().kind == Kind::notRegular ? std::string("it is not a regular file")
                                                           : std::string(std::strerror(text.error().error)));
            continue;
        }
        std::string id = file.stem().string();
        auto draft = decodeDraft(*text, std::move(id));
        if (!draft) {
            skipped(draft.error());
            continue;
        }
        drafts.push_back(std::move(*draft));
    }
    return drafts;
}

}  // namespace

std::filesystem::path DraftShelf::defaultFolder() {
    return platform::xdgStateHome() / "com.tessaly.folioport" / "drafts";
}

DraftShelf::DraftShelf(std::filesystem::path folder, DraftLimits limits, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
    writer_.setMaxThreadCount(1);
    // why: queued first on the one writer thread, the reading sees only what earlier runs left.
    runOffThread(
        writer_, this,
        [folder = folder_, limits] {
            std::error_code error;
            if (std::filesystem::create_directories(folder, error))
                std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
            platform::removeAbandonedTemporaries(folder);
            return readDrafts(folder, limits);
        },
        [this](std::vector<EditorDraft> drafts) {
            waiting_ = std::move(drafts);
            Q_EMIT waitingChanged();
        });
}

DraftShelf::~DraftShelf() { writer_.waitForDone(); }

std::vector<EditorDraft> DraftShelf::waiting(const std::string& site) const {
    std::vector<EditorDraft> drafts;
    std::ranges::copy_if(waiting_, std::back_inserter(drafts), [&](const EditorDraft& draft) { return draft.site == site; });
    return drafts;
}

std::vector<EditorDraft> DraftShelf::takeWaiting(const std::string& site) {
    std::vector<EditorDraft> taken = waiting(site);
    std::erase_if(waiting_, [&](const EditorDraft& draft) { return draft.site == site; });
    Q_EMIT waitingChanged();
    return taken;
}

std::filesystem::path DraftShelf::fileOf(const std::string& id) const { return folder_ / (id + std::string(suffix)); }

void DraftShelf::keep(EditorDraft draft) {
    writer_.start([file = fileOf(draft.id), draft = std::move(draft)] {
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        if (auto written = platform::replaceFileAtomically(file, encodeDraft(draft)); !written)
            std::cerr << "Folioport: the draft of an editor's unsaved text could not be kept: " << written.error()
                      << "\n";
    });
}

void DraftShelf::drop(const std::string& id) {
    writer_.start([file = fileOf(id)] {
        std::error_code error;
        std::filesystem::remove(file, error);
    });
}

void DraftShelf::keepAllNow() {
    for (DraftKeeper* keeper : keepers_) keeper->keepNow();
    writer_.waitForDone();
}

}  // namespace folioport
