#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

namespace folioport::platform {

/// The value of a JSON integer that fits std::int64_t; absent for every other value, floats included.
/// why: the library keeps large non-negative integers unsigned, and reading one above INT64_MAX as
/// signed would wrap to a negative number.
inline std::optional<std::int64_t> int64Value(const nlohmann::json& value) {
    if (!value.is_number_integer()) return std::nullopt;
    if (value.is_number_unsigned() &&
        value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return value.get<std::int64_t>();
}

}  // namespace folioport::platform
