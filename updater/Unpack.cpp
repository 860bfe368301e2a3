#include "updater/Unpack.h"

#include <sstream>

#include "updater/SafePaths.h"
#include "updater/ToolRun.h"

namespace folioport {
namespace {

std::unexpected<std::string> couldNotUnzip(const ToolResult& result) {
    return failure(UpdateError::badDownload("could not unzip (" + result.output + ")"));
}

/// The first member name that would land outside the folder, if any; the tool's failure otherwise.
StepResult<void> checkMemberNames(const std::filesystem::path& archive) {
    const ToolResult listing = runTool(archiveTool, {"-t", "-f", archive.string()});
    if (listing.status != 0) return couldNotUnzip(listing);
    std::istringstream lines(listing.output);
    for (std::string name; std::getline(lines, name);) {
        if (!isContainedName(name)) return failure(UpdateError::badDownload("unsafe path in the archive (" + name + ")"));
    }
    return {};
}

StepResult<void> checkLinks(const std::filesystem::path& folder) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink(error) && !linkStaysInside(it->path(), folder)) {
            const auto target = std::filesystem::read_symlink(it->path(), error);
            return failure(UpdateError::badDownload("symlink pointing outside the archive (" +
                                                    it->path().lexically_relative(folder).string() + " -> " +
                                                    target.string() + ")"));
        }
    }
    if (error) return systemFailure("Could not list", folder, error);
    return {};
}

}  // namespace

StepResult<std::filesystem::path> unpack(const std::filesystem::path& archive) {
    const auto folder = archive.parent_path() / "unpacked";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return systemFailure("Could not create the folder", folder, error);

    if (auto names = checkMemberNames(archive); !names) return std::unexpected(names.error());
    const ToolResult extraction = runTool(archiveTool, {"-x", "-f", archive.string(), "-C", folder.string()});
    if (extraction.status != 0) return couldNotUnzip(extraction);
    if (auto links = checkLinks(folder); !links) return std::unexpected(links.error());

    // why: the file system's own order decides which of several bundles counts, as the caller expects.
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (it->path().extension() == ".app") return it->path();
    }
    if (error) return systemFailure("Could not list", folder, error);
    return failure(UpdateError::badDownload("no .app inside the archive"));
}

}  // namespace folioport
