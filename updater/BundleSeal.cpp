#include "updater/BundleSeal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "updater/Checksum.h"
#include "updater/SafePaths.h"

namespace folioport::BundleSeal {
namespace {

namespace fs = std::filesystem;

/// The manifest's first line is this, then the team's identifier.
constexpr std::string_view headerPrefix = "folioport-seal 1 team=";

bool isSealFile(const std::string& path) {
    return path == manifestPath || path == signaturePath || path == folderPath;
}

/// The mode as sealed: "755" or "644" by the execute bits, which the usual umasks (022, 002) keep when
/// unpacking; but exactly, in octal, when it has a bit that lets others act as or write to the entry (setuid,
/// setgid, sticky, other write), so adding one after sealing shows as a change.
std::string sealedMode(fs::perms mode) {
    using enum fs::perms;
    if ((mode & (set_uid | set_gid | sticky_bit | others_write)) != none) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "%o", static_cast<unsigned>(mode & mask));
        return octal;
    }
    return (mode & (owner_exec | group_exec | others_exec)) != none ? "755" : "644";
}

std::expected<std::string, std::string> lineOf(const fs::directory_entry& entry, const fs::path& bundle,
                                               const std::string& path) {
    std::error_code error;
    if (entry.is_symlink(error)) {
        const auto target = fs::read_symlink(entry.path(), error).string();
        if (!linkStaysInside(entry.path(), bundle)) return std::unexpected("symlink leaves the bundle: " + path + " -> " + target);
        if (target.find_first_of("\t\n") != std::string::npos) return std::unexpected("unsealable link target: " + path);
        return "l\t" + target + "\t" + path;
    }
    const fs::file_status status = entry.symlink_status(error);
    if (fs::is_directory(status)) return "d\t" + sealedMode(status.permissions()) + "\t" + path;
    // why: a FIFO or device would block or never end when read, so only a regular file is ever opened, and
    // the descriptor is checked again in case the entry was swapped meanwhile.
    if (!fs::is_regular_file(status)) return std::unexpected("unsupported file type: " + path);
    const int file = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat opened {};
    const bool regular = file >= 0 && ::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode);
    const auto digest = regular ? sha256HexOfFile(file) : std::nullopt;
    if (file >= 0) ::close(file);
    if (file >= 0 && !regular) return std::unexpected("unsupported file type: " + path);
    if (!digest) return std::unexpected("unreadable: " + path);
    return "f\t" + sealedMode(static_cast<fs::perms>(opened.st_mode) & fs::perms::mask) + "\t" + *digest + "\t" + path;
}

/// The manifest's lines keyed by path, or the line that does not fit the format.
std::expected<Listing, std::string> parse(std::string_view manifestText, std::string_view team) {
    std::istringstream lines{std::string(manifestText)};
    std::string line;
    if (!std::getline(lines, line) || !line.starts_with(headerPrefix)) return std::unexpected("not a bundle seal");
    if (const auto sealedFor = std::string_view(line).substr(headerPrefix.size()); sealedFor != team)
        return std::unexpected("sealed for another team: " + std::string(sealedFor));
    Listing listing;
    while (std::getline(lines, line)) {
        const auto tab = line.rfind('\t');
        if (tab == std::string::npos || !listing.emplace(line.substr(tab + 1), line).second)
            return std::unexpected("malformed seal line: " + line);
    }
    return listing;
}

}  // namespace

std::expected<Listing, std::string> list(const fs::path& bundle) {
    std::error_code error;
    // why: a bundle that is a symlink would be moved into place as a link to somewhere else.
    if (fs::is_symlink(bundle, error) || !fs::is_directory(bundle, error))
        return std::unexpected("not a bundle folder: " + bundle.filename().string());
    Listing listing;
    for (auto it = fs::recursive_directory_iterator(bundle, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string path = it->path().lexically_relative(bundle).generic_string();
        if (isSealFile(path)) continue;
        if (path.find_first_of("\t\n\r") != std::string::npos) return std::unexpected("unsealable name: " + path);
        auto line = lineOf(*it, bundle, path);
        if (!line) return std::unexpected(line.error());
        listing.emplace(path, std::move(*line));
    }
    if (error) return std::unexpected("unreadable bundle: " + error.message());
    return listing;
}

std::string manifest(std::string_view team, const Listing& listing) {
    std::string text = std::string(headerPrefix) + std::string(team) + "\n";
    for (const auto& [path, line] : listing) text += line + "\n";
    return text;
}

std::string differences(const fs::path& bundle, std::string_view manifestText, std::string_view team) {
    const auto sealed = parse(manifestText, team);
    if (!sealed) return sealed.error();
    const auto actual = list(bundle);
    if (!actual) return actual.error();

    std::set<std::string> paths;
    for (const auto& [path, line] : *sealed) paths.insert(path);
    for (const auto& [path, line] : *actual) paths.insert(path);
    std::string problems;
    for (const std::string& path : paths) {
        const auto was = sealed->find(path);
        const auto is = actual->find(path);
        if (is == actual->end()) problems += "missing: " + path + "\n";
        else if (was == sealed->end()) problems += "added: " + path + "\n";
        else if (was->second != is->second) problems += "modified: " + path + "\n";
    }
    if (!problems.empty()) problems.pop_back();
    return problems;
}

}  // namespace folioport::BundleSeal
