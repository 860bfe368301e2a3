#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzChecks.h"
#include "storage/Storage.h"

// toPlainText on any bytes: valid UTF-8 out, no empty line, no blank at either end of a line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace folioport;
    const std::string plain = Storage::toPlainText({reinterpret_cast<const char*>(data), size});
    fuzz::require(Utf8::isValid(plain));
    fuzz::require(plain.find("\n\n") == std::string::npos && plain.find(" \n") == std::string::npos &&
                  plain.find("\n ") == std::string::npos);
    fuzz::require(plain.empty() || (plain.front() != ' ' && plain.back() != ' ' && plain.front() != '\n'));
    return 0;
}
