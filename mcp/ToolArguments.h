#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace folioport::MCPServer {

// Readers of one tool argument. Each counts a value only when it has the argument's own JSON
// type; any other value (null, a number for a string, a string for a number, an object) is
// treated exactly like a missing argument.

/// The argument when it is a JSON string, unchanged.
std::optional<std::string> stringArg(const nlohmann::json& arguments, std::string_view name);

/// The string argument with white space and line breaks trimmed from both ends; absent when blank.
std::optional<std::string> trimmedArg(const nlohmann::json& arguments, std::string_view name);

/// The argument when it is a JSON number with an integral value that fits 64 bits.
std::optional<std::int64_t> intArg(const nlohmann::json& arguments, std::string_view name);

/// The argument when it is a JSON boolean.
std::optional<bool> boolArg(const nlohmann::json& arguments, std::string_view name);

/// True when the arguments have a member of this name, whatever its value (null included).
bool hasArg(const nlohmann::json& arguments, std::string_view name);

/// Text with Unicode white space and line breaks removed from both ends.
std::string trimmed(std::string_view text);

/// Text with the ASCII letters A to Z lower-cased; every other byte unchanged.
std::string asciiLowercased(std::string text);

}  // namespace folioport::MCPServer
