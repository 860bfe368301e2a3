#pragma once

namespace folioport {

/// How a page body is written or read: plain text (converted) or storage format (passed through).
enum class BodyFormat { text, storage };

}  // namespace folioport
