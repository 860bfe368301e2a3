#pragma once

#include <string>

namespace folioport {

/// How a page body is written or read: plain text (converted) or storage format (passed through).
enum class BodyFormat { text, storage };

namespace Storage {

/// The body in storage format: plain text is converted, storage format is sent exactly as written.
std::string asStorage(const std::string& body, BodyFormat format);

}  // namespace Storage
}  // namespace folioport
