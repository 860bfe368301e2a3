#include "updater/UpdateLimits.h"

namespace folioport {

std::string readableSize(std::size_t bytes) {
    // why: binary units named the everyday way; the limits are round in them.
    constexpr const char* units[] = {"bytes", "KB", "MB", "GB"};
    std::size_t unit = 0;
    double value = static_cast<double>(bytes);
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    std::string text = std::to_string(value);
    text.erase(text.find('.') + (value == static_cast<double>(static_cast<std::size_t>(value)) ? 0 : 2));
    return text + " " + units[unit];
}

std::string readableDuration(std::chrono::seconds time) {
    const bool minutes = time.count() >= 60 && time.count() % 60 == 0;
    const long long count = minutes ? time.count() / 60 : time.count();
    return std::to_string(count) + (minutes ? " minute" : " second") + (count == 1 ? "" : "s");
}

}  // namespace folioport
