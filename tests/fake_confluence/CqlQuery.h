#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace folioport::fake {

/// One "field op value" condition; the value is unquoted and unescaped.
struct CqlClause {
    std::string field;
    std::string op;  ///< "=", "!=", "~" or "!~"
    std::string value;
};

/// The subset of CQL the fake site understands: clauses joined by AND, then an optional ORDER BY.
struct CqlQuery {
    std::vector<CqlClause> clauses;
    std::string orderBy;  ///< empty when absent
    bool descending = false;

    /// Parses the text; the error reads like the real site's "Could not parse cql" message.
    static std::expected<CqlQuery, std::string> parse(std::string_view text);
};

}  // namespace folioport::fake
