#include "mcp/ToolArguments.h"

#include <algorithm>
#include <cmath>

#include "platform/JsonInteger.h"
#include "storage/Utf8.h"

namespace folioport::MCPServer {
namespace {

const nlohmann::json* member(const nlohmann::json& arguments, std::string_view name) {
    if (!arguments.is_object()) return nullptr;
    const auto found = arguments.find(name);
    return found == arguments.end() ? nullptr : &*found;
}

}  // namespace

std::string trimmed(std::string_view text) {
    return std::string(Utf8::trim(text, &Utf8::isWhiteSpace));
}

std::string asciiLowercased(std::string text) {
    std::ranges::transform(text, text.begin(), Utf8::asciiLowered);
    return text;
}

std::optional<std::string> stringArg(const nlohmann::json& arguments, std::string_view name) {
    const nlohmann::json* value = member(arguments, name);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::string> trimmedArg(const nlohmann::json& arguments, std::string_view name) {
    std::optional<std::string> text = stringArg(arguments, name);
    if (!text) return std::nullopt;
    std::string result = trimmed(*text);
    if (result.empty()) return std::nullopt;
    return result;
}

std::optional<std::int64_t> intArg(const nlohmann::json& arguments, std::string_view name) {
    const nlohmann::json* value = member(arguments, name);
    if (value == nullptr) return std::nullopt;
    if (value->is_number_float()) {
        // why: JSON has one number type; 5.0 is the integer 5 to a client that wrote it as a double.
        const double number = value->get<double>();
        if (!std::isfinite(number) || std::trunc(number) != number) return std::nullopt;
        if (number < -9.2e18 || number > 9.2e18) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    return platform::int64Value(*value);
}

std::optional<bool> boolArg(const nlohmann::json& arguments, std::string_view name) {
    const nlohmann::json* value = member(arguments, name);
    if (value == nullptr || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

bool hasArg(const nlohmann::json& arguments, std::string_view name) {
    return member(arguments, name) != nullptr;
}

}  // namespace folioport::MCPServer
