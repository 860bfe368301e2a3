#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace folioport::testing {

namespace fs = std::filesystem;

/// The private half of the key this test build trusts (made once in the build tree).
std::string trustedSigningKey();

/// A fresh private folder under the system's temporary directory, removed with the object.
class ScratchFolder {
public:
    fs::path path() const { return folder_.path().toStdString(); }

private:
    QTemporaryDir folder_;
};

/// A bundle at `bundle` as packaging makes it: Info.plist of `version` and build number `build` (else the
/// version), Contents/bin/Folioport (a script that writes the path it ran from to "<bundle>.relaunched"
/// beside the bundle), a resource; not sealed.
void writeBundle(const fs::path& bundle, const std::string& version, const std::string& build = {});

/// Seals the bundle with `privateKeyPem` for the team the updater trusts.
void sealBundle(const fs::path& bundle, std::string_view privateKeyPem);

/// Zips `members` of `folder` into `archive` with bsdtar, passing `options` before them (e.g. -s renames).
void zipFolder(const fs::path& archive, const fs::path& folder, const std::vector<std::string>& members,
               const std::vector<std::string>& options = {});

/// Makes a folder unwritable while it lives: by its mode, or for root by the immutable attribute.
class UnwritableFolder {
public:
    explicit UnwritableFolder(fs::path folder);
    ~UnwritableFolder();
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

private:
    void lock(bool on);
    fs::path folder_;
};

/// `text` with its ASCII letters in upper case.
std::string upperCase(std::string text);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, std::string_view text);

}  // namespace folioport::testing
