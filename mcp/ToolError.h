#pragma once

#include <string>
#include <variant>

#include "confluence/ConfluenceError.h"

namespace folioport::MCPServer {

/// A bad tool call; its sentence (describe) is the whole text of the "isError" result.
struct ToolError {
    enum class Kind {
        unknownTool,       ///< detail: the name asked for
        queryRequired,
        badFormat,         ///< detail: the value, trimmed and lower-cased
        noPageSelector,
        titleNeedsSpace,
        titleRequired,
        noSpace,
        badMode,
        nothingToChange,
        pageIdRequired,
        failedInternally,  ///< detail: what went wrong inside the tool
        noServices,        ///< detail: which library could not be loaded, and why
        lastVersion,       ///< detail: the page id
        readOnly,          ///< a writing tool while the settings let assistants only read
    };

    explicit ToolError(Kind errorKind, std::string errorDetail = {})
        : kind(errorKind), detail(std::move(errorDetail)) {}

    Kind kind;
    std::string detail;

    static ToolError unknownTool(std::string name) { return ToolError(Kind::unknownTool, std::move(name)); }
    static ToolError badFormat(std::string value) { return ToolError(Kind::badFormat, std::move(value)); }
    static ToolError failedInternally(std::string what) { return ToolError(Kind::failedInternally, std::move(what)); }
    static ToolError noServices(std::string why) { return ToolError(Kind::noServices, std::move(why)); }

    bool operator==(const ToolError&) const = default;
};

/// The user-facing sentence of a bad tool call.
std::string describe(const ToolError& error);

/// Why a tool call failed: bad arguments, or the REST client's error.
using ToolFailure = std::variant<ToolError, ConfluenceError>;

/// The user-facing text of a failure.
std::string describe(const ToolFailure& failure);

}  // namespace folioport::MCPServer
