#pragma once

#include <string>

namespace folioport {

/// The REST client's one error type; every window and the MCP server show describe(error) unchanged.
struct ConfluenceError {
    enum class Kind { http, network, decoding, notFound, notConfigured, badURL };

    Kind kind;
    int status = 0;    ///< http only
    std::string text;  ///< http: the body (empty when not UTF-8); network, decoding, notFound: the message

    static ConfluenceError http(int status, std::string body) { return {Kind::http, status, std::move(body)}; }
    static ConfluenceError network(std::string message) { return {Kind::network, 0, std::move(message)}; }
    static ConfluenceError decoding(std::string message) { return {Kind::decoding, 0, std::move(message)}; }
    static ConfluenceError notFound(std::string message) { return {Kind::notFound, 0, std::move(message)}; }
    static ConfluenceError notConfigured() { return {Kind::notConfigured, 0, {}}; }
    static ConfluenceError badURL() { return {Kind::badURL, 0, {}}; }

    bool operator==(const ConfluenceError&) const = default;
};

/// The user-facing sentence of an error.
std::string describe(const ConfluenceError& error);

}  // namespace folioport
