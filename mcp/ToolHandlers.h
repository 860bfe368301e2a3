#pragma once

#include "mcp/ToolCall.h"

namespace folioport::MCPServer {

// The tool operations, one per tool of the catalogue. Each reads its own arguments, makes its requests one after the
// other and answers one plain text; a failed request or a bad argument is its failure.

ToolResult listSpaces(const ToolCall& call);
ToolResult listPages(const ToolCall& call);
ToolResult searchPages(const ToolCall& call);
ToolResult getPage(const ToolCall& call);
ToolResult createPage(const ToolCall& call);
ToolResult updatePage(const ToolCall& call);
ToolResult deletePage(const ToolCall& call);

}  // namespace folioport::MCPServer
