#include "updater/Unpack.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Posix.h"
#include "updater/SafePaths.h"

namespace folioport {
namespace {

namespace fs = std::filesystem;
using platform::Descriptor;

struct ArchiveDeleter {
    void operator()(archive* reader) const { archive_read_free(reader); }
};

std::unexpected<UpdateError> refused(const std::string& why, const std::string& name) {
    return std::unexpected(UpdateError::unsafeEntry(why, name));
}

std::unexpected<UpdateError> couldNotUnzip(archive* reader) {
    const char* text = archive_error_string(reader);
    return std::unexpected(UpdateError::damagedArchive(std::string("could not unzip (") +
                                                       (text && *text ? text : "the archive is damaged") + ")"));
}

std::error_code lastError() { return {errno, std::generic_category()}; }

/// The entries' names, split, with "." and empty parts dropped.
std::vector<std::string> partsOf(std::string_view name) {
    std::vector<std::string> parts;
    for (const auto& part : fs::path(name)) {
        if (!part.empty() && part != ".") parts.push_back(part.string());
    }
    return parts;
}

/// Writes the entries of one archive below one folder, counting what they bring.
class Extraction {
public:
    Extraction(const fs::path& folder, const UpdateLimits& limits) : folder_(folder), limits_(limits) {}

    StepResult<void> open() {
        root_ = Descriptor(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (root_.get() < 0) return systemFailure("Could not open", folder_, lastError());
        return {};
    }

    StepResult<void> add(archive* reader, archive_entry* entry) {
        // why: names as UTF-8 whatever the process's locale, which may not be able to spell them.
        const char* raw = archive_entry_pathname_utf8(entry);
        if (!raw) raw = archive_entry_pathname(entry);
        if (!raw) return std::unexpected(UpdateError::damagedArchive("a name in the archive cannot be read"));
        const std::string name = raw;
        if (++entries_ > limits_.entries)
            return std::unexpected(
                UpdateError::archiveTooLarge("holds more than " + std::to_string(limits_.entries) + " entries"));
        if (!isContainedName(name)) return refused("unsafe path", name);
        const auto parts = partsOf(name);
        if (parts.empty()) return {};
        if (parts.size() > limits_.depth + 1)
            return refused("folders nested deeper than " + std::to_string(limits_.depth), name);
        if (archive_entry_hardlink(entry)) return refused("hard link", name);

        auto parent = openParent(parts, name);
        if (!parent) return std::unexpected(parent.error());
        const int at = parent->get();
        const char* last = parts.back().c_str();
        const fs::path path = folder_ / name;
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            if (::mkdirat(at, last, S_IRWXU) != 0) {
                if (errno != EEXIST) return systemFailure("Could not create the folder", path, lastError());
                if (!isFolder(at, last)) return refused("duplicate entry", name);
            }
            if (::fchmodat(at, last, 0755, 0) != 0) return systemFailure("Could not create the folder", path, lastError());
            return {};
        case AE_IFLNK: {
            const char* target = archive_entry_symlink(entry);
            if (!target || !*target) return refused("symlink without a target", name);
            if (::symlinkat(target, at, last) == 0) return {};
            if (errno == EEXIST) return refused("duplicate entry", name);
            return systemFailure("Could not create the symlink", path, lastError());
        }
        case AE_IFREG: return writeFile(reader, entry, at, last, name, path);
        default: return refused("device file, FIFO or socket", name);
        }
    }

private:
    static bool isFolder(int at, const char* name) {
        struct stat status {};
        return ::fstatat(at, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
    }

    /// The folder that holds the entry's last part, made as needed; never through a symlink or a file.
    StepResult<Descriptor> openParent(const std::vector<std::string>& parts, const std::string& name) {
        Descriptor current(::dup(root_.get()));
        for (std::size_t index = 0; index + 1 < parts.size(); ++index) {
            const char* part = parts[index].c_str();
            if (::mkdirat(current.get(), part, S_IRWXU) == 0) ::fchmodat(current.get(), part, 0755, 0);
            Descriptor next(::openat(current.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (next.get() < 0) {
                if (errno == ELOOP || errno == ENOTDIR) return refused("entry through a symlink or a file", name);
                return systemFailure("Could not create the folder", folder_ / name, lastError());
            }
            current = std::move(next);
        }
        return current;
    }

    StepResult<void> writeFile(archive* reader, archive_entry* entry, int at, const char* last, const std::string& name,
                               const fs::path& path) {
        const Descriptor file(::openat(at, last, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
        if (file.get() < 0) {
            if (errno == EEXIST) return refused("duplicate entry", name);
            return systemFailure("Could not write", path, lastError());
        }
        std::array<char, 65536> buffer;
        for (;;) {
            const la_ssize_t got = archive_read_data(reader, buffer.data(), buffer.size());
            if (got < 0) return couldNotUnzip(reader);
            if (got == 0) break;
            const auto size = static_cast<std::size_t>(got);
            // why: counted as it inflates, so a small archive cannot fill the disk before it is refused.
            if (size > limits_.unpackedBytes - written_)
                return std::unexpected(
                    UpdateError::archiveTooLarge("unpacks to more than " + readableSize(limits_.unpackedBytes)));
            written_ += size;
            if (!platform::writeAll(file.get(), std::string_view(buffer.data(), size)))
                return systemFailure("Could not write", path, lastError());
        }
        const bool executable = (archive_entry_perm(entry) & 0111) != 0;
        if (::fchmod(file.get(), executable ? 0755 : 0644) != 0) return systemFailure("Could not write", path, lastError());
        return {};
    }

    fs::path folder_;
    const UpdateLimits& limits_;
    Descriptor root_;
    std::size_t entries_ = 0;
    std::size_t written_ = 0;
};

StepResult<void> extract(const fs::path& archivePath, const fs::path& folder, const UpdateLimits& limits) {
    const std::unique_ptr<archive, ArchiveDeleter> reader(archive_read_new());
    if (!reader) return std::unexpected(UpdateError::damagedArchive("could not unzip (not enough memory)"));
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), archivePath.c_str(), 65536) != ARCHIVE_OK)
        return couldNotUnzip(reader.get());
    Extraction extraction(folder, limits);
    if (auto opened = extraction.open(); !opened) return opened;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) return {};
        if (status < ARCHIVE_WARN) return couldNotUnzip(reader.get());
        if (auto added = extraction.add(reader.get(), entry); !added) return added;
    }
}

StepResult<void> checkLinks(const fs::path& folder) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_symlink(error) && !linkStaysInside(it->path(), folder)) {
            const auto target = fs::read_symlink(it->path(), error);
            return std::unexpected(
                UpdateError::linkOutside(it->path().lexically_relative(folder).string(), target.string()));
        }
    }
    if (error) return systemFailure("Could not list", folder, error);
    return {};
}

}  // namespace

StepResult<fs::path> unpack(const fs::path& archive, const fs::path& folder, const UpdateLimits& limits) {
    if (auto extracted = extract(archive, folder, limits); !extracted) return std::unexpected(extracted.error());
    if (auto links = checkLinks(folder); !links) return std::unexpected(links.error());

    // why: the file system's own order decides which of several bundles counts, as the caller expects.
    std::error_code error;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        if (it->path().extension() == ".app") return it->path();
    }
    if (error) return systemFailure("Could not list", folder, error);
    return std::unexpected(UpdateError::noBundle());
}

}  // namespace folioport
