#pragma once

#include <string>

namespace folioport::testing {

/// A self-signed certificate for 127.0.0.1, made once per test process in a private temporary
/// directory (removed at exit); it is its own certificate authority.
struct TestCertificate {
    std::string certificateFile;
    std::string privateKeyFile;
};

const TestCertificate& testCertificate();

}  // namespace folioport::testing
