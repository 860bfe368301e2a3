// folioport-seal: makes the maker's key, seals a bundle with it, and checks a seal against the key
// compiled into Folioport. Used by scripts/package.sh.
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/Bundle.h"
#include "platform/Posix.h"
#include "updater/BundleSignature.h"
#include "updater/BundleVersion.h"
#include "updater/Ed25519.h"
#include "updater/TrustedKey.h"

namespace {

using namespace folioport;

constexpr std::string_view usage =
    "usage: folioport-seal keygen PRIVATE_KEY_FILE   new Ed25519 key (mode 0600, never overwritten); prints its public key\n"
    "       folioport-seal sign PRIVATE_KEY_FILE BUNDLE  seals BUNDLE (Folioport.app) for team Q7R2K9M4ZX\n"
    "       folioport-seal verify BUNDLE                 checks BUNDLE against the key compiled into Folioport\n";

int keygen(const std::string& keyFile) {
    const std::string key = Ed25519::generatePrivateKey();
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
    if (fd < 0 || !platform::writeAll(fd, key) || ::close(fd) != 0) {
        std::cerr << "folioport-seal: cannot create " << keyFile << " (it must not exist yet)\n";
        return 1;
    }
    std::cout << *Ed25519::publicKeyOf(key);
    return 0;
}

int sign(const std::string& keyFile, const std::string& bundle) {
    std::ifstream file(keyFile, std::ios::binary);
    const std::string key{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file && !file.eof()) {
        std::cerr << "folioport-seal: cannot read " << keyFile << "\n";
        return 1;
    }
    // why: every updater would refuse such a bundle once sealed, so it is refused here, in the updater's words.
    const auto build = platform::Bundle::readInfoString(std::filesystem::path(bundle) / "Contents" / "Info.plist",
                                                        "CFBundleVersion");
    if (!build) {
        std::cerr << "folioport-seal: " << bundle << " has no build number (CFBundleVersion in Contents/Info.plist)\n";
        return 1;
    }
    if (!isBuildNumber(*build)) {
        std::cerr << "folioport-seal: " << bundle << " is not sealed: " << describe(UpdateError::badBuildNumber(*build))
                  << "\n";
        return 1;
    }
    if (auto signedBundle = signBundle(bundle, key, updateTeam); !signedBundle) {
        std::cerr << "folioport-seal: " << bundle << ": " << signedBundle.error() << "\n";
        return 1;
    }
    return 0;
}

int verify(const std::string& bundle) {
    if (auto verified = verifyBundle(bundle, trustedUpdateKey(), updateTeam); !verified) {
        std::cerr << verified.error() << "\n";
        return 1;
    }
    std::cout << bundle << ": sealed by team " << updateTeam << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "keygen" && argc == 3) return keygen(argv[2]);
    if (command == "sign" && argc == 4) return sign(argv[2], argv[3]);
    if (command == "verify" && argc == 3) return verify(argv[2]);
    std::cerr << usage;
    return 2;
}
