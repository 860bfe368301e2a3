// The installation's steps on their own, without an updater: the digest, the bundle seal, the swap script
// and the launcher's recovery of an interrupted swap.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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
        EXPECT_EQ(verifyChecksum(archive, rejected).error(), UpdateError::checksumMismatch());
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

TEST(BundleSealTest, ABundleWithALinkOutsideOrABuildUpdatesRefuseCannotBeSigned) {
    ScratchFolder scratch;
    const auto bundle = scratch.path() / "Folioport.app";
    writeBundle(bundle, "2.0");
    fs::create_symlink("/etc/passwd", bundle / "Contents/passwd");
    const auto sealed = signBundle(bundle, trustedSigningKey(), updateTeam);
    ASSERT_FALSE(sealed);
    EXPECT_EQ(sealed.error(), "symlink leaves the bundle: Contents/passwd -> /etc/passwd");
    EXPECT_FALSE(fs::exists(bundle / "Contents/Seal"));

    // Packaging's signing command refuses a build number that updates would refuse, in the updater's words.
    const auto beta = scratch.path() / "beta" / "Folioport.app";
    writeBundle(beta, "2.0", "100-beta");
    const ToolResult refused = runTool(SEAL_COMMAND, {"sign", FOLIOPORT_TEST_SIGNING_KEY, beta.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "folioport-seal: " + beta.string() + " is not sealed: Download rejected: the bundle's "
                              "build number 100-beta is not numbers separated by dots, such as 104 or 1.0.4.\n");
    EXPECT_FALSE(fs::exists(beta / "Contents/Seal"));
}

/// The swap script run as the updater runs it, from its staging folder opened as descriptor 3, against
/// bundles in a scratch folder.
class SwapScriptTest : public ::testing::Test {
public:  // why: the tables' rows are lambdas that arrange the fixture's bundles.
    void SetUp() override {
        placeIn(scratch.path() / "Applications");
        stageSwap(swapScript(waitFor));
    }
    void stageSwap(const std::string& script) {
        fs::remove_all(installed.parent_path());
        writeBundle(installed, "1.0");
        writeBundle(staging / "Folioport.app", "2.0");
        writeFile(staging / "offer.json", R"({"version":"2.0","url":"https://example.com/2.0.zip"})");
        writeFile(staging / "install.sh", script);
    }
    /// /bin/sh's arguments that run the script of `folder` as the updater starts it.
    std::vector<std::string> swapArguments(const fs::path& folder) const {
        return {"-c", "exec /bin/sh /proc/self/fd/3/install.sh \"$1\" \"$2\" 3<\"$0\"", folder.string(),
                (folder / "Folioport.app").string(), installed.string()};
    }
    static std::string versionAt(const fs::path& bundle) { return readFile(bundle / "Contents/Resources/notes.txt"); }
    static bool complete(const fs::path& bundle) {
        std::error_code error;
        return fs::is_regular_file(bundle / "Contents/Info.plist") && fs::file_size(bundle / "Contents/bin/Folioport", error) > 0;
    }
    /// Whether a Folioport was started from the installed path (the test bundle's executable says so).
    bool startedInstalled() const {
        const std::string expected = (installed / "Contents/bin/Folioport").string();
        // why: the swap and a launch may each start a copy, and the second one's write empties the file first;
        // the path read once is enough.
        for (int tries = 0; tries < 50; ++tries, std::this_thread::sleep_for(100ms))
            if (readFile(relaunched) == expected) return true;
        return false;
    }
    /// Places the bundles in `folder` from now on.
    void placeIn(const fs::path& folder) {
        installed = folder / "Folioport.app";
        backup = installed.string() + ".old";
        staging = folder / ".FolioportUpdate-T";
        relaunched = installed.string() + ".relaunched";
    }

    ScratchFolder scratch;
    fs::path installed, backup, staging, relaunched;
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
    fs::create_directories(backup / "leftover");
    const ToolResult result = runTool("/bin/sh", swapArguments(staging));
    EXPECT_GE(std::chrono::steady_clock::now() - forked, 600ms);  // the application's whole life
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(versionAt(installed), "Release notes of 2.0\n");
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_FALSE(takeSwapFailure(installed, 1 << 20));
    EXPECT_TRUE(startedInstalled());
}

// Whatever stops a swap, the installed bundle stays, nothing is copied, the reason and the offer are left for
// the copy that the script then starts.
TEST_F(SwapScriptTest, AFailedSwapLeavesTheInstalledBundleStartsItAndSaysWhy) {
    struct Row {
        const char* name;
        std::function<fs::path(SwapScriptTest&)> stage;  // gives the staging folder the script runs from
        std::function<std::string(SwapScriptTest&)> reason;
        bool unremovableBackup = false;
    };
    const Row rows[] = {
        {"the staged bundle is gone",
         [](SwapScriptTest& t) {
             fs::remove_all(t.staging / "Folioport.app");
             return t.staging;
         },
         [](SwapScriptTest& t) { return "the new version is gone from " + t.staging.string(); }},
        // why: a move there would be a copy that can fail part way; /dev/shm is another file system here.
        {"the staged bundle is on another file system",
         [](SwapScriptTest& t) {
             const fs::path elsewhere = fs::path("/dev/shm") / ("FolioportSwapTest-" + std::to_string(::getpid()));
             fs::copy(t.staging, elsewhere, fs::copy_options::recursive);
             return elsewhere;
         },
         [](SwapScriptTest& t) { return "the new version is on another file system than " + t.installed.string(); }},
        {"a backup the user cannot remove", [](SwapScriptTest& t) { return t.staging; },
         [](SwapScriptTest& t) {
             return "could not remove the backup " + t.backup.string() + " (" +
                    (::geteuid() == 0 ? "Operation not permitted" : "Permission denied") + ")";
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        fs::remove(relaunched);
        const fs::path folder = row.stage(*this);
        if (row.unremovableBackup) {
            fs::create_directories(backup / "Contents/stuck");
            writeFile(backup / "Contents/stuck/file", "");
        }
        {
            const auto stuck = row.unremovableBackup ? std::make_unique<UnwritableFolder>(backup / "Contents/stuck") : nullptr;
            const ToolResult result = runTool("/bin/sh", swapArguments(folder));
            EXPECT_EQ(result.status, 1) << result.output;
        }
        EXPECT_EQ(versionAt(installed), "Release notes of 1.0\n");
        EXPECT_EQ(fs::exists(backup), row.unremovableBackup);
        EXPECT_FALSE(fs::exists(folder));
        const auto failure = takeSwapFailure(installed, 1 << 20);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->reason, row.reason(*this));
        EXPECT_EQ(failure->offer ? failure->offer->version : "none", "2.0");
        EXPECT_TRUE(startedInstalled());
    }
}

// A launch (from the menu's launcher entry or at login) at any point of a swap neither undoes nor breaks it:
// at every point one complete bundle is at the installed path or beside it, and the swap ends with the new
// one installed and running.
TEST_F(SwapScriptTest, ALaunchAtEveryPointOfTheSwapEndsWithTheNewBundleRunning) {
    std::vector<std::string> lines;
    for (std::string line; const char c : swapScript(waitFor) + "\n") {
        if (c != '\n') {
            line += c;
            continue;
        }
        lines.push_back(std::exchange(line, {}));
    }
    const auto swapping = std::ranges::find_if(lines, [](const std::string& l) { return l.starts_with("while kill"); });
    ASSERT_NE(swapping, lines.end());
    for (auto point = swapping; point != lines.end(); ++point) {
        if (point->starts_with(" ") || point->starts_with("if ")) continue;  // inside the one if-block
        SCOPED_TRACE("stopped after: " + *point);
        // why: a folder per point, so a copy started late by the previous point cannot write into this one.
        placeIn(scratch.path() / ("point" + std::to_string(point - swapping)));
        std::string script;
        for (auto line = lines.begin(); line != lines.end(); ++line)
            script += *line + (line == point ? "\nkill -STOP $$\n" : "\n");
        stageSwap(script);
        fs::remove(relaunched);

        const pid_t swap = startTool("/bin/sh", swapArguments(staging));
        int raw = 0;
        ASSERT_EQ(::waitpid(swap, &raw, WUNTRACED), swap);
        ASSERT_TRUE(WIFSTOPPED(raw));
        EXPECT_TRUE(complete(installed) || complete(backup));
        const pid_t launch = startTool("/bin/sh", {LAUNCH_SCRIPT, installed.string()});
        std::this_thread::sleep_for(200ms);  // why: room for a launcher that would not wait to act now
        ::kill(swap, SIGCONT);
        EXPECT_EQ(exitStatusOf(swap), 0);
        EXPECT_EQ(exitStatusOf(launch), 0);
        EXPECT_EQ(versionAt(installed), "Release notes of 2.0\n");
        EXPECT_FALSE(fs::exists(backup));
        EXPECT_FALSE(takeSwapFailure(installed, 1 << 20));
        EXPECT_TRUE(startedInstalled());
    }
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
             fs::rename(t.staging / "Folioport.app", t.installed);
         },
         "2.0"},
        {"a copy that stopped before bin/",
         [=](SwapScriptTest& t) {
             aside(t);
             fs::create_directories(t.installed / "Contents");
             fs::copy_file(t.staging / "Folioport.app/Contents/Info.plist", t.installed / "Contents/Info.plist");
         },
         "1.0"},
        {"a copy that left a 0-byte executable",
         [=](SwapScriptTest& t) {
             aside(t);
             fs::copy(t.staging / "Folioport.app", t.installed, fs::copy_options::recursive);
             writeFile(t.installed / "Contents/bin/Folioport", "");
         },
         "1.0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        row.leave(*this);
        const ToolResult recovered = runTool("/bin/sh", {LAUNCH_SCRIPT, "--recover-only", installed.string()});
        EXPECT_EQ(recovered.status, 0) << recovered.output;
        EXPECT_EQ(versionAt(installed), "Release notes of " + row.version + "\n");
        EXPECT_TRUE(fs::exists(installed / "Contents/bin/Folioport") && fs::file_size(installed / "Contents/bin/Folioport") > 0);
    }
}

}  // namespace
}  // namespace folioport
