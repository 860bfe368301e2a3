// The whole update as a user gets it: an installed, self-contained 1.0.1 bundle (the update_client program
// on the bundle's own Qt) finds 9.9.9 in the feed over HTTPS, downloads, verifies and swaps, quits, and the
// new bundle starts on its own libraries. Prints the archive's size and the time to quit and to relaunch.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <string_view>

#include "FakeConfluence.h"
#include "TestBundle.h"
#include "TestCertificate.h"
#include "platform/Bundle.h"
#include "updater/Checksum.h"
#include "ToolRun.h"

namespace folioport {
namespace {

using namespace testing;

/// A bundle of `version` laid out as a release is, with its libraries, whose executable is update_client.
/// why: laying out takes seconds, so it is done once; each bundle links to those files.
void writeReleaseBundle(const fs::path& bundle, const std::string& version) {
    static const ScratchFolder folder;
    static const fs::path laidOut = [] {
        const auto made = folder.path() / "Folioport.app";
        writeBundle(made, "0");
        fs::copy_file(UPDATE_CLIENT, made / "Contents/bin/Folioport", fs::copy_options::overwrite_existing);
        fs::create_directories(made / "Contents/lib");
        fs::copy_file(SERVICES_LIBRARY, made / "Contents/lib" / fs::path(SERVICES_LIBRARY).filename());
        const ToolResult result = runTool(LAYOUT_SCRIPT, {made.string()});
        EXPECT_EQ(result.status, 0) << result.output;
        return made;
    }();
    writeBundle(bundle, version);
    for (const char* file : {"Contents/bin/Folioport", "Contents/bin/qt.conf"}) {
        fs::copy_file(laidOut / file, bundle / file, fs::copy_options::overwrite_existing);
    }
    for (const char* part : {"Contents/lib", "Contents/plugins"}) {
        fs::copy(laidOut / part, bundle / part, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    }
}

TEST(UpdateEndToEndTest, AnInstalledBundleUpdatesItselfAndRelaunches) {
  // why: a temporary folder on another file system than the installation (/dev/shm is a tmpfs) must not
  // turn the swap into a copy.
  for (const bool elsewhere : {false, true}) {
    SCOPED_TRACE(elsewhere ? "temporary folder on another file system" : "temporary folder beside");
    ScratchFolder scratch;
    const auto installed = scratch.path() / "Applications" / "Folioport.app";
    writeReleaseBundle(installed, "1.0.1");

    const auto stage = scratch.path() / "stage";
    writeReleaseBundle(stage / "Folioport.app", "9.9.9");
    // A release repacked with umask 002: group write on a folder and a file, which the seal does not cover.
    fs::permissions(stage / "Folioport.app/Contents/bin", fs::perms::group_write, fs::perm_options::add);
    // Sealed as packaging seals a release: by the signing command, which then checks it against the
    // key compiled into this build.
    const ToolResult sealed = runTool(SEAL_COMMAND, {"sign", FOLIOPORT_TEST_SIGNING_KEY, (stage / "Folioport.app").string()});
    ASSERT_EQ(sealed.status, 0) << sealed.output;
    const ToolResult verified = runTool(SEAL_COMMAND, {"verify", (stage / "Folioport.app").string()});
    EXPECT_EQ(verified.output, (stage / "Folioport.app").string() + ": sealed by team Q7R2K9M4ZX\n");
    fs::permissions(stage / "Folioport.app/Contents/Resources/notes.txt", fs::perms::group_write, fs::perm_options::add);
    zipFolder(scratch.path() / "Folioport-9.9.9.zip", stage, {"Folioport.app"});
    const std::string archive = readFile(scratch.path() / "Folioport-9.9.9.zip");

    const auto& certificate = testCertificate();
    fake::FakeOptions https;
    https.tls = fake::TlsFiles{certificate.certificateFile, certificate.privateKeyFile};
    auto site = fake::FakeConfluence::start(fake::SiteData::minimal(), https);
    ASSERT_TRUE(site) << site.error();
    const std::string digest = upperCase(sha256Hex(archive));
    const std::string archiveURL = (*site)->baseURL() + "/downloads/Folioport-9.9.9.zip";
    (*site)->serve("/folioport/appcast.json",
                   {200, R"({"version":"9.9.9","url":")" + archiveURL + R"(","sha256":")" + digest + R"("})",
                    "application/json"});
    (*site)->serve("/downloads/Folioport-9.9.9.zip", {200, archive});

    const auto temporary = elsewhere ? fs::path("/dev/shm") / ("FolioportEndToEnd-" + std::to_string(::getpid()))
                                     : scratch.path() / "tmp";
    fs::create_directories(temporary);
    QProcess application;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", QString::fromStdString(temporary.string()));
    application.setProcessEnvironment(environment);
    const auto started = std::chrono::steady_clock::now();
    application.start(QString::fromStdString((installed / "Contents/bin/Folioport").string()),
                      {QString::fromStdString((*site)->baseURL() + "/folioport/appcast.json"),
                       QString::fromStdString(certificate.certificateFile)});
    ASSERT_TRUE(application.waitForFinished(30000));
    const auto quit = std::chrono::steady_clock::now();
    const std::string output = application.readAllStandardOutput().toStdString();
    EXPECT_EQ(application.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(application.exitCode(), 0) << output << application.readAllStandardError().toStdString();
    EXPECT_EQ(output, "Checking…\nDownloading v9.9.9…\nVerifying…\nInstalling…\n");

    const auto relaunched = installed.string() + ".relaunched";
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(relaunched); }, 10000));
    const auto running = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::Bundle::readInfoString(installed / "Contents/Info.plist", "CFBundleShortVersionString"), "9.9.9");
    EXPECT_EQ(readFile(relaunched), (installed / "Contents/lib/libQt6Core.so.6").string()) << "the Qt the relaunch runs on";
    // Installed as the user's own, with no group or other write whatever the archive said.
    for (const auto& entry : fs::recursive_directory_iterator(installed)) {
        if (!entry.is_symlink()) {
            EXPECT_EQ(entry.status().permissions() & (fs::perms::group_write | fs::perms::others_write), fs::perms::none)
                << entry.path();
        }
    }
    // Neither the download nor the staging folder stays: beside the bundle only the swap's lock and the test's
    // relaunch mark.
    EXPECT_TRUE(fs::is_empty(temporary));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::distance(fs::directory_iterator(installed.parent_path()), fs::directory_iterator()) == 3; },
        5000));
    EXPECT_TRUE(fs::exists(installed.parent_path() / ".Folioport.app.lock"));
    if (elsewhere) fs::remove_all(temporary);

    using std::chrono::duration_cast, std::chrono::milliseconds;
    std::cout << "archive " << archive.size() << " bytes; check to quit " << duration_cast<milliseconds>(quit - started).count()
              << " ms; quit to relaunch " << duration_cast<milliseconds>(running - quit).count() << " ms\n";
  }
}

}  // namespace
}  // namespace folioport
