#include "confluence/ConfluenceConfig.h"

#include "storage/Utf8.h"

namespace folioport {
namespace {

void dropTrailingSlashes(std::string& text) {
    while (!text.empty() && text.back() == '/') text.pop_back();
}

bool endsWithWikiIgnoringCase(const std::string& text) {
    static constexpr std::string_view wiki = "/wiki";
    if (text.size() < wiki.size()) return false;
    for (std::size_t i = 0; i < wiki.size(); ++i) {
        char c = text[text.size() - wiki.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != wiki[i]) return false;
    }
    return true;
}

}  // namespace

std::string ConfluenceConfig::normalizedBaseURL() const {
    std::string text(Utf8::trim(baseURL, Utf8::isWhiteSpace));

    dropTrailingSlashes(text);
    if (endsWithWikiIgnoringCase(text)) text.resize(text.size() - 5);
    dropTrailingSlashes(text);

    if (text.empty() || text.starts_with("http://") || text.starts_with("https://")) return text;
    return "https://" + text;
}

std::string ConfluenceConfig::wikiURL() const {
    std::string base = normalizedBaseURL();
    return base.empty() ? std::string{} : base + "/wiki";
}

bool ConfluenceConfig::isComplete() const {
    return !normalizedBaseURL().empty() && !email.empty() && !apiToken.empty();
}

}  // namespace folioport
