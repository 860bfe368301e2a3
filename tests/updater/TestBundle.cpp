#include "TestBundle.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <vector>

#include "updater/BundleSignature.h"
#include "ToolRun.h"
#include "updater/TrustedKey.h"

namespace folioport::testing {

std::string trustedSigningKey() { return readFile(FOLIOPORT_TEST_SIGNING_KEY); }

void writeBundle(const fs::path& bundle, const std::string& version, const std::string& build) {
    fs::create_directories(bundle / "Contents" / "bin");
    fs::create_directories(bundle / "Contents" / "Resources");
    writeFile(bundle / "Contents" / "Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
              "\t<key>CFBundleIdentifier</key>\n\t<string>com.tessaly.folioport</string>\n"
              "\t<key>CFBundleExecutable</key>\n\t<string>Folioport</string>\n"
              "\t<key>CFBundleShortVersionString</key>\n\t<string>" + version + "</string>\n"
              "\t<key>CFBundleVersion</key>\n\t<string>" + (build.empty() ? version : build) + "</string>\n"
              "</dict>\n</plist>\n");
    const auto executable = bundle / "Contents" / "bin" / "Folioport";
    writeFile(executable, "#!/bin/sh\nprintf '%s' \"$0\" > \"${0%/Contents/bin/Folioport}.relaunched\"\n");
    fs::permissions(executable, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    writeFile(bundle / "Contents" / "Resources" / "notes.txt", "Release notes of " + version + "\n");
}

void sealBundle(const fs::path& bundle, std::string_view privateKeyPem) {
    const auto sealed = signBundle(bundle, privateKeyPem, updateTeam);
    ASSERT_TRUE(sealed) << sealed.error();
}

void zipFolder(const fs::path& archive, const fs::path& folder, const std::vector<std::string>& members,
               const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"-c", "--format", "zip", "-f", archive.string(), "-C", folder.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), members.begin(), members.end());
    const ToolResult zipped = runTool("/usr/bin/bsdtar", arguments);
    ASSERT_EQ(zipped.status, 0) << zipped.output;
}

UnwritableFolder::UnwritableFolder(fs::path folder) : folder_(std::move(folder)) { lock(true); }
UnwritableFolder::~UnwritableFolder() { lock(false); }

void UnwritableFolder::lock(bool on) {
    if (::geteuid() != 0) {
        fs::permissions(folder_, on ? fs::perms::owner_read | fs::perms::owner_exec : fs::perms::owner_all);
        return;
    }
    // why: root passes every permission check, but not on an immutable folder.
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
}

std::string upperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string readFile(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, std::string_view text) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << text;
}

}  // namespace folioport::testing
