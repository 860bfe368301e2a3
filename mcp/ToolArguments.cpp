#include "mcp/ToolArguments.h"

#include <cmath>

namespace folioport::MCPServer {
namespace {

const nlohmann::json* member(const nlohmann::json& arguments, std::string_view name) {
    if (!arguments.is_object()) return nullptr;
    const auto found = arguments.find(name);
    return found == arguments.end() ? nullptr : &*found;
}

// Length in bytes of the white-space character that text starts with (UTF-8), or 0.
std::size_t leadingSpaceLength(std::string_view text) {
    static constexpr std::string_view multiByteSpaces[] = {
        "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
        "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};
    if (text.empty()) return 0;
    if (text[0] == ' ' || (text[0] >= '\t' && text[0] <= '\r')) return 1;
    for (std::string_view space : multiByteSpaces)
        if (text.starts_with(space)) return space.size();
    return 0;
}

std::size_t trailingSpaceLength(std::string_view text) {
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        const std::string_view tail = text.substr(text.size() - length);
        if (leadingSpaceLength(tail) == length) return length;
    }
    return 0;
}

}  // namespace

std::string trimmed(std::string_view text) {
    while (const std::size_t length = leadingSpaceLength(text)) text.remove_prefix(length);
    while (const std::size_t length = trailingSpaceLength(text)) text.remove_suffix(length);
    return std::string(text);
}

std::string asciiLowercased(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
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
    if (value->is_number_integer() && !value->is_number_unsigned()) return value->get<std::int64_t>();
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    if (value->is_number_float()) {
        // why: JSON has one number type; 5.0 is the integer 5 to a client that wrote it as a double.
        const double number = value->get<double>();
        if (!std::isfinite(number) || std::trunc(number) != number) return std::nullopt;
        if (number < -9.2e18 || number > 9.2e18) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
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
