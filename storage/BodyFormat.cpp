#include "storage/BodyFormat.h"

#include "storage/Storage.h"

namespace folioport::Storage {

std::string asStorage(const std::string& body, BodyFormat format) {
    return format == BodyFormat::text ? fromPlainText(body) : body;
}

}  // namespace folioport::Storage
