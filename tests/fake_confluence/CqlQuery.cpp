#include "CqlQuery.h"

#include <cctype>

namespace folioport::fake {
namespace {

class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    bool atEnd() {
        skipBlanks();
        return position_ >= text_.size();
    }

    /// A bare word: letters, digits, '.', '_' and '-'.
    std::string word() {
        skipBlanks();
        std::size_t start = position_;
        while (position_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[position_])) ||
                                            text_[position_] == '.' || text_[position_] == '_' ||
                                            text_[position_] == '-'))
            ++position_;
        return std::string(text_.substr(start, position_ - start));
    }

    std::string op() {
        skipBlanks();
        for (std::string_view candidate : {"!=", "!~", "=", "~"}) {
            if (text_.substr(position_).starts_with(candidate)) {
                position_ += candidate.size();
                return std::string(candidate);
            }
        }
        return {};
    }

    /// A double-quoted string in which a backslash takes the next character literally.
    std::expected<std::string, std::string> quoted() {
        ++position_;  // the opening quote
        std::string value;
        while (position_ < text_.size()) {
            char c = text_[position_++];
            if (c == '"') return value;
            if (c == '\\') {
                if (position_ >= text_.size()) break;
                c = text_[position_++];
            }
            value += c;
        }
        return std::unexpected("unterminated string");
    }

    std::expected<std::string, std::string> value() {
        skipBlanks();
        if (position_ < text_.size() && text_[position_] == '"') return quoted();
        std::string bare = word();
        if (bare.empty()) return std::unexpected("expected a value at position " + std::to_string(position_));
        return bare;
    }

    bool keyword(std::string_view expected) {
        skipBlanks();
        std::size_t saved = position_;
        std::string found = word();
        for (auto& c : found) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (found == expected) return true;
        position_ = saved;
        return false;
    }

    std::size_t position() const { return position_; }

private:
    void skipBlanks() {
        while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_]))) ++position_;
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace

std::expected<CqlQuery, std::string> CqlQuery::parse(std::string_view text) {
    auto failure = [&](const std::string& why) {
        return std::unexpected("Could not parse cql : " + std::string(text) + " (" + why + ")");
    };
    Lexer lexer(text);
    CqlQuery query;
    do {
        CqlClause clause;
        clause.field = lexer.word();
        if (clause.field.empty()) return failure("expected a field at position " + std::to_string(lexer.position()));
        clause.op = lexer.op();
        if (clause.op.empty()) return failure("expected an operator after " + clause.field);
        auto value = lexer.value();
        if (!value) return failure(value.error());
        clause.value = std::move(*value);
        query.clauses.push_back(std::move(clause));
    } while (lexer.keyword("AND"));
    if (lexer.keyword("ORDER")) {
        if (!lexer.keyword("BY")) return failure("expected BY after ORDER");
        query.orderBy = lexer.word();
        if (query.orderBy.empty()) return failure("expected a field after ORDER BY");
        query.descending = lexer.keyword("DESC");
        if (!query.descending) lexer.keyword("ASC");
    }
    if (!lexer.atEnd()) return failure("unexpected text at position " + std::to_string(lexer.position()));
    return query;
}

}  // namespace folioport::fake
