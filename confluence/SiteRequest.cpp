#include "confluence/SiteRequest.h"

#include "platform/HttpTransport.h"
#include "storage/Utf8.h"

namespace folioport {
namespace {

/// Every byte outside A-Z a-z 0-9 - _ ~ as %XX (so "." and ".." can never act as path steps).
std::string percentEncode(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        // why: not std::isalnum, which under a single-byte locale would pass letters above ASCII unencoded.
        const bool asciiAlphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (asciiAlphanumeric || c == '-' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return out;
}

/// The address with the query items appended after any it already has (a fragment stays last).
std::string withQuery(std::string address, const QueryItems& query) {
    if (query.empty()) return address;
    std::size_t hash = address.find('#');
    std::string fragment = hash == std::string::npos ? std::string{} : address.substr(hash);
    address.resize(std::min(hash, address.size()));
    char separator = address.find('?') == std::string::npos ? '?' : '&';
    for (const auto& [name, value] : query) {
        address += separator;
        address += percentEncode(name) + '=' + percentEncode(value);
        separator = '&';
    }
    return address + fragment;
}

}  // namespace

std::string pathSegment(std::string_view id) { return percentEncode(id); }

std::expected<std::string, ConfluenceError> requestSite(const ConfluenceConfig& config, std::string_view method,
                                                        std::string_view path, const QueryItems& query,
                                                        const std::optional<std::string>& jsonBody,
                                                        std::stop_token stop) {
    if (!config.isComplete()) return std::unexpected(ConfluenceError::notConfigured());

    platform::HttpRequest request;
    request.method = std::string(method);
    request.url = withQuery(path.starts_with("http") ? std::string(path) : config.normalizedBaseURL() + std::string(path),
                            query);
    request.headers = {{"Accept", "application/json"},
                       {"Authorization", "Basic " + base64(config.email + ":" + config.apiToken)}};
    if (jsonBody) {
        request.headers.emplace_back("Content-Type", "application/json");
        request.body = jsonBody;
    }

    auto response = platform::HttpTransport::send(request, stop);
    if (!response) {
        if (response.error().kind == platform::HttpFailure::Kind::badURL)
            return std::unexpected(ConfluenceError::badURL());
        return std::unexpected(ConfluenceError::network(response.error().message));
    }
    if (response->status < 200 || response->status > 299) {
        std::string body = Utf8::isValid(response->body) ? std::move(response->body) : std::string{};
        return std::unexpected(ConfluenceError::http(response->status, std::move(body)));
    }
    return std::move(response->body);
}

}  // namespace folioport
