#include "confluence/Records.h"

#include <cstdio>
#include <random>

#include "storage/Storage.h"
#include "storage/Utf8.h"

namespace folioport {

namespace {

/// A random (version 4) UUID in its usual lower-case text form.
std::string randomUUID() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t high = generator();
    std::uint64_t low = generator();
    high = (high & ~0xF000ull) | 0x4000ull;                // version 4
    low = (low & ~(0xC000ull << 48)) | (0x8000ull << 48);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx",
                  static_cast<unsigned long long>(high >> 32), static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(high & 0xFFFF), static_cast<unsigned long long>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string withoutAll(std::string_view text, std::string_view marker) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t found; (found = text.find(marker, from)) != std::string_view::npos; from = found + marker.size()) {
        out.append(text, from, found - from);
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace

std::optional<std::string> Page::plainTextBody() const {
    if (!body || !body->storage || !body->storage->value) return std::nullopt;
    std::string text = Storage::toPlainText(*body->storage->value);
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<std::string> nameOf(const ConfluenceUser& user) {
    return user.displayName ? user.displayName : user.publicName ? user.publicName : user.email;
}

std::string titleOf(const Page& page) {
    return page.title && !page.title->empty() ? *page.title : std::string("(untitled)");
}

std::int64_t versionOf(const Page& page) {
    return page.version && page.version->number ? *page.version->number : 1;
}

std::string storageBodyOf(const Page& page) {
    if (page.body && page.body->storage && page.body->storage->value) return *page.body->storage->value;
    return {};
}

std::string SearchResult::id() const {
    if (content && content->id) return *content->id;
    if (url) return *url;
    return randomUUID();
}

std::optional<std::string> SearchResult::plainExcerpt() const {
    if (!excerpt || excerpt->empty()) return std::nullopt;
    const std::string text = withoutAll(withoutAll(Storage::toPlainText(*excerpt), "@@@hl@@@"), "@@@endhl@@@");
    const std::string_view trimmed = Utf8::trim(text, Utf8::isWhiteSpace);
    if (trimmed.empty()) return std::nullopt;
    return std::string(trimmed);
}

}  // namespace folioport
