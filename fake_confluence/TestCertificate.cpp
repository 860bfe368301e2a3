#include "TestCertificate.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace folioport::testing {

const TestCertificate& testCertificate() {
    // why: a private directory, removed at exit, so no other user can swap the key.
    static struct PrivateDirectory {
        std::filesystem::path path = [] {
            std::string pattern = (std::filesystem::temp_directory_path() / "folioport-tls-XXXXXX").string();
            if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
            return std::filesystem::path(pattern);
        }();
        ~PrivateDirectory() { std::filesystem::remove_all(path); }
    } directory;
    static TestCertificate certificate = [] {
        TestCertificate made{(directory.path / "cert.pem").string(), (directory.path / "key.pem").string()};
        std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                              " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                              made.privateKeyFile + "' -out '" + made.certificateFile + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not make a certificate");
        return made;
    }();
    return certificate;
}

}  // namespace folioport::testing
