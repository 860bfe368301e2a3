// The installation's steps on their own, without an updater: the digest, the bundle seal, the swap script
// and the launcher's recovery of an interrupted swap.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestBundle.h"
#include "updater/BundleSignature.h"
#include "updater/Checksum.h"
#include "updater/SwapScript.h"
#include "ToolRun.h"
#include "updater/TrustedKey.h"

namespace folioport {
namespace {

using namespace testing;
using namespace std::chrono_literals;

// why: letter case, an empty digest and none at all are InstallTest's rows; here the hash itself and near misses.
TEST(ChecksumTest, OnlyTheExactDigestOfTheArchiveMatches) {
    ScratchFolder scratch;
    const auto archive = scratch.path() / "update.zip";
    writeFile(archive, "abc");
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_TRUE(verifyChecksum(archive, digest));
    for (const std::string& rejected : {digest + " ", digest.substr(1)})
        EXPECT_EQ(verifyChecksum(archive, rejected).error(), "Download rejected: checksum doesn't match the manifest.");
}

// A changed file, no seal, another key and a link out of the bundle are InstallTest's rows, through the installer.
TEST(BundleSealTest, EveryChangeAfterSigningIsNamed) {
    struct Row {
        const char* name;
        std::function<void(const fs::path& bundle)> change;
        std::optional<std::string> problems;  // absent: the bundle verifies
    };
    const Row rows[] = {
        {"untouched", [](const fs::path&) {}, std::nullopt},
        {"executable bit dropped",
         [](const fs::path& b) { fs::permissions(b / "Contents/bin/Folioport", fs::perms::owner_read | fs::perms::owner_write); },
         "modified: Contents/bin/Folioport"},
        {"setuid bit and a world-writable folder added",
         [](const fs::path& b) {
             fs::permissions(b / "Contents/bin/Folioport", fs::perms::set_uid, fs::perm_options::add);
             fs::permissions(b / "Contents/bin", fs::perms::others_write, fs::perm_options::add);
         },
         "modified: Contents/bin\nmodified: Contents/bin/Folioport"},
        {"file removed", [](const fs::path& b) { fs::remove(b / "Contents/Resources/notes.txt"); },
         "missing: Contents/Resources/notes.txt"},
        {"file added, also inside the seal folder",
         [](const fs::path& b) {
             writeFile(b / "Contents/Resources/extra.txt", "");
             writeFile(b / "Contents/Seal/extra", "");
         },
         "added: Contents/Resources/extra.txt\nadded: Contents/Seal/extra"},
        {"file replaced by a symlink to the same content",
         [](const fs::path& b) {
             writeFile(b / "Contents/copy.txt", readFile(b / "Contents/Resources/notes.txt"));
             fs::remove(b / "Contents/Resources/notes.txt");
             fs::create_symlink("../copy.txt", b / "Contents/Resources/notes.txt");
         },
         "modified: Contents/Resources/notes.txt\nadded: Contents/copy.txt"},
        {"symlinks that each stay inside but climb out together",
         [](const fs::path& b) {
             fs::create_symlink("..", b / "Contents/Resources/parent");
             fs::create_symlink("Resources/parent/../..", b / "Contents/climb");
         },
         "symlink leaves the bundle: Contents/climb -> Resources/parent/../.."},
        {"signed for another team", [](const fs::path& b) { signBundle(b, trustedSigningKey(), "OTHERTEAM1"); },
         "sealed for another team: OTHERTEAM1"},
        {"manifest edited to match a changed file",
         [](const fs::path& b) {
             writeFile(b / "Contents/Resources/notes.txt", "changed");
             auto manifest = readFile(b / "Contents/Seal/manifest");
             const auto at = manifest.find(sha256Hex("Release notes of 2.0\n"));
             manifest.replace(at, 64, sha256Hex("changed"));
             writeFile(b / "Contents/Seal/manifest", manifest);
         },
         "signature does not match the key of team Q7R2K9M4ZX"},
        {"FIFO as the manifest: refused unopened",
         [](const fs::path& b) {
             fs::remove(b / "Contents/Seal/manifest");
             ::mkfifo((b / "Contents/Seal/manifest").c_str(), 0644);
         },
         "not a regular file: Contents/Seal/manifest"},
        {"FIFO as a resource", [](const fs::path& b) { ::mkfifo((b / "Contents/Resources/pipe").c_str(), 0644); },
         "unsupported file type: Contents/Resources/pipe"},
        {"signature cut short",
         [](const fs::path& b) { writeFile(b / "Contents/Seal/signature", readFile(b / "Contents/Seal/signature").substr(0, 64)); },
         "signature does not match the key of team Q7R2K9M4ZX"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder scratch;
        const auto bundle = scratch.path() / "Folioport.app";
        writeBundle(bundle, "2.0");
        sealBundle(bundle, trustedSigningKey());
        row.change(bundle);
        const auto verified = verifyBundle(bundle, trustedUpdateKey(), updateTeam);
        if (row.problems) EXPECT_EQ(verified ? "" : verified.error(), *row.problems);
        else EXPECT_TRUE(verified) << verified.error();
    }
}

TEST(BundleSealTest, ABundleWithALinkOutsideCannotBeSigned) {
    ScratchFolder scratch;
    const auto bundle = scratch.path() / "Folioport.app";
    writeBundle(bundle, "2.0");
    fs::create_symlink("/etc/passwd", bundle / "Contents/passwd");
    const auto sealed = signBundle(bundle, trustedSigningKey(), updateTeam);
    ASSERT_FALSE(sealed);
    EXPECT_EQ(sealed.error(), "symlink leaves the bundle: Contents/passwd -> /etc/passwd");
    EXPECT_FALSE(fs::exists(bundle / "Contents/Seal"));
}

/// The swap script run as the updater runs it, against bundles in a scratch folder.
class SwapScriptTest : public ::testing::Test {
public:  // why: the recovery table's rows are lambdas that arrange the fixture's bundles.
    void SetUp() override {
        writeBundle(installed, "1.0");
        fs::create_directories(newBundle.parent_path());
        writeBundle(newBundle, "2.0");
        writeFile(script, swapScript(waitFor));
    }
    ToolResult runScript(const fs::path& staged) const {
        return runTool("/bin/sh", {script.string(), staged.string(), installed.string()});
    }
    std::string installedVersionFile() const { return readFile(installed / "Contents/Resources/notes.txt"); }

    ScratchFolder scratch;
    fs::path installed = scratch.path() / "Applications/Folioport.app";
    fs::path newBundle = scratch.path() / "Applications/.FolioportUpdate-T/Folioport.app";
    fs::path script = scratch.path() / "Applications/.FolioportUpdate-T/install.sh";
    fs::path relaunched = scratch.path() / "Applications/Folioport.app.relaunched";
    std::chrono::steady_clock::time_point forked = std::chrono::steady_clock::now();
    /// The application the script waits for: a child that lives 0.6 s, reaped as soon as it ends.
    pid_t waitFor = [] {
        const pid_t child = ::fork();
        if (child == 0) {
            ::usleep(600'000);
            ::_exit(0);
        }
        return child;
    }();
    std::jthread reaper{[child = waitFor] { ::waitpid(child, nullptr, 0); }};
};

TEST_F(SwapScriptTest, WaitsForTheApplicationSwapsRemovesAnyBackupAndStartsTheNewBundle) {
    fs::create_directories(installed.string() + ".old/leftover");
    const ToolResult result = runScript(newBundle);
    EXPECT_GE(std::chrono::steady_clock::now() - forked, 600ms);  // the application's whole life
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(installedVersionFile(), "Release notes of 2.0\n");
    EXPECT_FALSE(fs::exists(installed.string() + ".old"));
    EXPECT_FALSE(fs::exists(newBundle.parent_path()));
    for (int tries = 0; tries < 50 && !fs::exists(relaunched); ++tries) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(readFile(relaunched), (installed / "Contents/bin/Folioport").string());
}

TEST_F(SwapScriptTest, AFailedSwapLeavesTheInstalledBundleAndNeverCopies) {
    struct Row {
        const char* name;
        std::function<fs::path(const fs::path& staged)> stage;  // gives the script's $1
    };
    const Row rows[] = {
        {"the staged bundle is gone", [](const fs::path& staged) { fs::remove_all(staged); return staged; }},
        // why: a move there would be a copy that can fail part way; /dev/shm is another file system here.
        {"the staged bundle is on another file system",
         [](const fs::path& staged) {
             const fs::path elsewhere = fs::path("/dev/shm") / ("FolioportSwapTest-" + std::to_string(::getpid()));
             fs::create_directories(elsewhere);
             fs::copy_file(staged.parent_path() / "install.sh", elsewhere / "install.sh");
             fs::copy(staged, elsewhere / "Folioport.app", fs::copy_options::recursive);
             return elsewhere / "Folioport.app";
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        const fs::path staged = row.stage(newBundle);
        const ToolResult result = runTool("/bin/sh", {(staged.parent_path() / "install.sh").string(), staged.string(),
                                                      installed.string()});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(installedVersionFile(), "Release notes of 1.0\n");
        EXPECT_FALSE(fs::exists(installed.string() + ".old"));
        EXPECT_FALSE(fs::exists(staged.parent_path()));
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fs::exists(relaunched));
}

// What a swap killed between two of its steps leaves, or an older updater's copy that failed part way; the
// launcher (and the installer, through it) must start from one complete bundle at the installed path.
TEST_F(SwapScriptTest, TheLauncherRecoversASwapCutShort) {
    struct Row {
        const char* name;
        std::function<void(SwapScriptTest&)> leave;
        std::string version;  // at the installed path afterwards
    };
    const auto aside = [](SwapScriptTest& t) { fs::rename(t.installed, t.installed.string() + ".old"); };
    const Row rows[] = {
        {"killed after moving the installed bundle aside", aside, "1.0"},
        {"killed after moving the new bundle in",
         [=](SwapScriptTest& t) {
             aside(t);
             fs::rename(t.newBundle, t.installed);
         },
         "2.0"},
        {"a copy that stopped before bin/",
         [=](SwapScriptTest& t) {
             aside(t);
             fs::create_directories(t.installed / "Contents");
             fs::copy_file(t.newBundle / "Contents/Info.plist", t.installed / "Contents/Info.plist");
         },
         "1.0"},
        {"a copy that left a 0-byte executable",
         [=](SwapScriptTest& t) {
             aside(t);
             fs::copy(t.newBundle, t.installed, fs::copy_options::recursive);
             writeFile(t.installed / "Contents/bin/Folioport", "");
         },
         "1.0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(installed.parent_path());
        SetUp();
        row.leave(*this);
        const ToolResult recovered = runTool("/bin/sh", {LAUNCH_SCRIPT, "--recover-only", installed.string()});
        EXPECT_EQ(recovered.status, 0) << recovered.output;
        EXPECT_EQ(installedVersionFile(), "Release notes of " + row.version + "\n");
        EXPECT_TRUE(fs::exists(installed / "Contents/bin/Folioport") && fs::file_size(installed / "Contents/bin/Folioport") > 0);
    }
}

}  // namespace
}  // namespace folioport
