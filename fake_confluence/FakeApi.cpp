#include "FakeApi.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>
#include <iterator>
#include <ranges>
#include <set>
#include <sstream>

#include <openssl/evp.h>

namespace folioport::fake {
namespace {

using nlohmann::ordered_json;

constexpr std::string_view v2 = "/wiki/api/v2";

ApiResponse jsonResponse(int status, const ordered_json& body) { return {status, body.dump(), {}}; }

/// The v2 error envelope.
ApiResponse v2Error(int status, std::string_view code, std::string_view title) {
    return jsonResponse(status,
                        {{"errors", {{{"status", status}, {"code", code}, {"title", title}, {"detail", nullptr}}}}});
}

/// The v1 error envelope.
ApiResponse v1Error(int status, std::string_view message) {
    return jsonResponse(status, {{"statusCode", status}, {"message", message}});
}

ApiResponse badParameter(std::string_view title) { return v2Error(400, "INVALID_REQUEST_PARAMETER", title); }
ApiResponse notFound(std::string_view what) { return v2Error(404, "NOT_FOUND", std::string(what) + " not found"); }

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<int>(bytes.size()));
    return out;
}

std::optional<std::string> base64Decoded(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) return std::nullopt;
    std::string out(3 * text.size() / 4, '\0');
    if (EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size())) < 0)
        return std::nullopt;
    while (!out.empty() && out.back() == '\0') out.pop_back();
    return out;
}

std::optional<std::int64_t> integer(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

const std::string* param(const ApiRequest& request, std::string_view name) {
    auto it = std::ranges::find(request.query, name, &std::pair<std::string, std::string>::first);
    return it == request.query.end() ? nullptr : &it->second;
}

std::vector<std::string> commaList(std::string_view text) {
    std::vector<std::string> items;
    for (auto part : std::views::split(text, ','))
        if (!part.empty()) items.emplace_back(part.begin(), part.end());
    return items;
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::ranges::find(allowed, value) != allowed.end();
}

std::string nowText() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", gmtime_r(&now, &utc));
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

/// Ids compare as numbers: padded to a common width.
std::string padded(const std::string& id) { return std::string(20 - std::min<std::size_t>(20, id.size()), '0') + id; }

/// Tags removed, the common entities decoded, runs of blanks folded.
std::string plainText(std::string_view storage) {
    static const std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&nbsp;", ' '}};
    std::string out;
    auto blank = [&] { if (!out.empty() && out.back() != ' ') out += ' '; };
    for (std::size_t i = 0; i < storage.size(); ++i) {
        char c = storage[i];
        if (c == '<') {
            blank();
            i = std::min(storage.find('>', i), storage.size());
        } else if (auto e = std::ranges::find_if(
                       entities, [&](auto& entity) { return storage.substr(i).starts_with(entity.first); });
                   c == '&' && e != std::end(entities)) {
            out += e->second;
            i += e->first.size() - 1;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            blank();
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string escapeMarkup(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

std::string webPath(const SiteData& data, const FakePage& page) {
    const FakeSpace* space = data.spaceById(page.spaceId);
    if (!space) return "/pages/viewpage.action?pageId=" + page.id;
    std::string path = "/spaces/" + space->key + "/pages/" + page.id + "/";
    for (char c : page.title) path += c == ' ' ? std::string("+") : percentEncode(std::string_view(&c, 1));
    return path;
}

ordered_json optional(const std::optional<std::string>& value) { return value ? ordered_json(*value) : nullptr; }

ordered_json spaceJson(const FakeSpace& space) {
    return {{"id", space.id}, {"key", space.key}, {"name", space.name}, {"type", space.type}, {"status", space.status},
            {"authorId", FakeUser{}.accountId}, {"createdAt", "2025-06-02T08:00:00.000Z"},
            {"homepageId", optional(space.homepageId)}, {"description", nullptr}, {"icon", nullptr},
            {"_links", {{"webui", "/spaces/" + space.key}}}};
}

ordered_json pageJson(const SiteData& data, const FakePage& page, bool withBody, std::string_view siteURL = {}) {
    ordered_json json = {
        {"id", page.id}, {"status", page.status}, {"title", page.title}, {"spaceId", page.spaceId},
        {"parentId", optional(page.parentId)}, {"parentType", page.parentId ? ordered_json("page") : nullptr},
        {"position", 0}, {"authorId", page.authorId}, {"ownerId", page.authorId}, {"lastOwnerId", nullptr},
        {"createdAt", page.createdAt},
        {"version", {{"createdAt", page.modifiedAt}, {"message", page.versionMessage}, {"number", page.version},
                     {"minorEdit", false}, {"authorId", page.authorId}}}};
    if (withBody) json["body"] = {{"storage", {{"representation", "storage"}, {"value", page.body}}}};
    json["_links"] = {{"editui", "/pages/resumedraft.action?draftId=" + page.id},
                      {"webui", webPath(data, page)},
                      {"tinyui", "/x/" + base64(page.id).substr(0, 6)}};
    if (!siteURL.empty()) json["_links"]["base"] = std::string(siteURL) + "/wiki";
    return json;
}

/// Validates a comma list of numeric ids; nullopt when any item is not an integer.
std::optional<std::set<std::string>> idSet(const std::string* text) {
    std::set<std::string> ids;
    for (auto& item : text ? commaList(*text) : std::vector<std::string>{}) {
        if (!integer(item)) return std::nullopt;
        ids.insert(item);
    }
    return ids;
}

/// Whether the body-format parameter is absent or one of `allowed`.
bool validBodyFormat(const ApiRequest& request, std::initializer_list<std::string_view> allowed) {
    const std::string* format = param(request, "body-format");
    return !format || oneOf(*format, allowed);
}

std::optional<std::string> stringMember(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

/// The storage value of a write body {"representation": "storage", "value": …}.
std::optional<std::string> storageValue(const nlohmann::json& object) {
    auto body = object.find("body");
    if (body == object.end() || !body->is_object() || stringMember(*body, "representation") != "storage")
        return std::nullopt;
    return stringMember(*body, "value");
}

/// The checks shared by create and update; an error answer, or nothing when the body is well formed.
std::optional<ApiResponse> writeBodyError(const nlohmann::json& body) {
    if (body.is_discarded() || !body.is_object())
        return v2Error(400, "INVALID_REQUEST_BODY", "The request body is not a JSON object");
    auto status = body.contains("status") ? stringMember(body, "status") : "current";
    auto title = stringMember(body, "title");
    if (!status || !oneOf(*status, {"current", "draft"})) return badParameter("status must be current or draft");
    if (!title || title->empty()) return badParameter("title is required");
    if (!storageValue(body)) return badParameter("body must have representation storage and a string value");
    return std::nullopt;
}

bool titleTaken(const SiteData& data, const std::string& spaceId, const std::string& title,
                const std::string& exceptId) {
    return std::ranges::any_of(data.pages, [&](const FakePage& p) {
        return p.spaceId == spaceId && p.title == title && p.status == "current" && p.id != exceptId;
    });
}

/// Every blank-separated term of a text query, lower-cased.
std::vector<std::string> terms(std::string_view text) {
    std::istringstream words(lower(text));
    return {std::istream_iterator<std::string>(words), {}};
}

/// Up to 200 bytes of the page text around the first hit, every hit wrapped in highlight markers.
std::string excerpt(std::string_view text, const std::vector<std::string>& words) {
    std::string lowered = lower(text);
    std::size_t first = std::string::npos;
    for (const auto& word : words) first = std::min(first, lowered.find(word));
    std::size_t start = first == std::string::npos || first < 40 ? 0 : lowered.rfind(' ', first - 40) + 1;
    std::size_t end = std::min(text.size(), start + 200);
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    std::string out;
    for (std::size_t i = start; i < end;) {
        auto hit =
            std::ranges::find_if(words, [&](const std::string& w) { return lowered.compare(i, w.size(), w) == 0; });
        std::size_t length = hit != words.end() ? hit->size() : 1;
        std::string piece = escapeMarkup(text.substr(i, length));
        out += hit != words.end() ? "@@@hl@@@" + piece + "@@@endhl@@@" : piece;
        i += length;
    }
    return out;
}

/// One "field op value" condition of CQL; the value is unquoted and unescaped.
struct CqlClause {
    std::string field, op, value;
};

/// The CQL the fake site understands: clauses joined by AND, then an optional ORDER BY field [ASC|DESC].
struct CqlQuery {
    std::vector<CqlClause> clauses;
    std::string orderBy;
    bool descending = false;
};

std::expected<CqlQuery, std::string> parseCql(std::string_view text) {
    std::size_t at = 0;
    auto skipBlanks = [&] { while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at; };
    auto word = [&] {
        skipBlanks();
        std::size_t start = at;
        while (at < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[at])) || oneOf(text.substr(at, 1), {".", "_", "-"})))
            ++at;
        return std::string(text.substr(start, at - start));
    };
    auto keyword = [&](std::string_view expected) {
        std::size_t saved = at;
        std::string found = word();
        for (auto& c : found) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (found != expected) at = saved;
        return found == expected;
    };
    auto failure = [&](const std::string& why) {
        return std::unexpected("Could not parse cql : " + std::string(text) + " (" + why + ")");
    };
    CqlQuery query;
    do {
        CqlClause clause{word(), {}, {}};
        if (clause.field.empty()) return failure("expected a field at position " + std::to_string(at));
        skipBlanks();
        for (std::string_view op : {"!=", "!~", "=", "~"})
            if (clause.op.empty() && text.substr(at).starts_with(op)) clause.op = op, at += op.size();
        if (clause.op.empty()) return failure("expected an operator after " + clause.field);
        skipBlanks();
        if (at < text.size() && text[at] == '"') {
            // A backslash takes the next character literally.
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && ++at == text.size()) break;
                clause.value += text[at];
            }
            if (at++ >= text.size()) return failure("unterminated string");
        } else if ((clause.value = word()).empty()) {
            return failure("expected a value at position " + std::to_string(at));
        }
        query.clauses.push_back(std::move(clause));
    } while (keyword("AND"));
    if (keyword("ORDER")) {
        if (!keyword("BY") || (query.orderBy = word()).empty()) return failure("expected ORDER BY and a field");
        query.descending = keyword("DESC");
        if (!query.descending) keyword("ASC");
    }
    skipBlanks();
    if (at < text.size()) return failure("unexpected text at position " + std::to_string(at));
    return query;
}

bool matches(const CqlClause& clause, const SiteData& data, const FakePage& page) {
    bool hit = false;
    if (clause.field == "type") {
        hit = clause.value == "page";
    } else if (clause.field == "space" || clause.field == "space.key") {
        const FakeSpace* space = data.spaceById(page.spaceId);
        hit = space && space->key == clause.value;
    } else if (clause.field == "title" && clause.op.ends_with('=')) {
        hit = page.title == clause.value;
    } else {
        std::string haystack = lower(clause.field == "title" ? page.title : page.title + " " + plainText(page.body));
        hit = std::ranges::all_of(terms(clause.value), [&](auto& t) { return haystack.find(t) != std::string::npos; });
    }
    return hit != clause.op.starts_with('!');
}

}  // namespace

std::string percentEncode(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || oneOf(std::string_view(reinterpret_cast<const char*>(&c), 1), {"-", ".", "_", "~"}))
            out += static_cast<char>(c);
        else
            out += {'%', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 0xF]};
    }
    return out;
}

/// Decodes %XX escapes; with `plusIsSpace`, also '+' as a blank (query items).
std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '%' && i + 2 < text.size() &&
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr == text.data() + i + 3) {
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += plusIsSpace && text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

QueryItems parseQuery(std::string_view rawQuery) {
    QueryItems items;
    for (auto part : std::views::split(rawQuery, '&')) {
        std::string_view item(part.begin(), part.end());
        if (item.empty()) continue;
        std::size_t eq = item.find('=');
        items.emplace_back(percentDecode(item.substr(0, eq), true),
                           eq == std::string_view::npos ? std::string{} : percentDecode(item.substr(eq + 1), true));
    }
    return items;
}

namespace {

/// One batch of `items` from the request's cursor, with a next link repeating the query plus the new cursor.
ApiResponse paged(const ApiRequest& request, std::string_view endpoint, std::vector<ordered_json> items,
                  std::string_view siteURL, NextLinkStyle style) {
    std::int64_t limit = 25;
    if (const std::string* text = param(request, "limit")) {
        auto value = integer(*text);
        if (!value || *value < 1 || *value > 250) return badParameter("limit must be an integer from 1 to 250");
        limit = *value;
    }
    std::size_t offset = 0;
    if (const std::string* cursor = param(request, "cursor")) {
        auto decoded = base64Decoded(*cursor);
        auto value = decoded && decoded->starts_with("offset:") ? integer(decoded->substr(7)) : std::nullopt;
        if (!value || *value < 0) return badParameter("Invalid cursor");
        offset = static_cast<std::size_t>(*value);
    }
    std::size_t end = std::min(items.size(), offset + static_cast<std::size_t>(limit));
    ordered_json results = ordered_json::array();
    for (std::size_t i = offset; i < end; ++i) results.push_back(std::move(items[i]));
    std::string base = std::string(siteURL) + "/wiki";
    ordered_json links = {{"base", base}};
    // The documents name the Link header as the paging carrier; the body's _links.next says the same.
    std::string link = "<" + base + ">; rel=\"base\"";
    if (end < items.size()) {
        std::string tail = std::string(endpoint) + "?";
        for (const auto& [name, value] : request.query)
            if (name != "cursor") tail += percentEncode(name) + "=" + percentEncode(value) + "&";
        tail += "cursor=" + percentEncode(base64("offset:" + std::to_string(end)));
        std::string next = style == NextLinkStyle::apiPath ? "/api/v2" + tail
                           : style == NextLinkStyle::absolute ? std::string(siteURL) + std::string(v2) + tail
                                                                       : std::string(v2) + tail;
        links["next"] = next;
        link = "<" + next + ">; rel=\"next\", " + link;
    }
    return {200, ordered_json({{"results", std::move(results)}, {"_links", std::move(links)}}).dump(), link};
}

ApiResponse listSpaces(const SiteData& data, const ApiRequest& request, std::string_view siteURL, NextLinkStyle style) {
    std::vector<std::string> keys = commaList(param(request, "keys") ? *param(request, "keys") : "");
    const std::string* status = param(request, "status");
    if (status && !oneOf(*status, {"current", "archived"})) return badParameter("Invalid status");
    std::string sort = param(request, "sort") ? *param(request, "sort") : "id";
    if (!oneOf(sort, {"id", "-id", "key", "-key", "name", "-name"})) return badParameter("Invalid sort");

    std::vector<const FakeSpace*> found;
    for (const auto& space : data.spaces)
        if ((keys.empty() || std::ranges::find(keys, space.key) != keys.end()) && (!status || space.status == *status))
            found.push_back(&space);
    bool descending = sort.starts_with('-');
    std::string field = descending ? sort.substr(1) : sort;
    auto key = [&](const FakeSpace* s) {
        return std::tuple(field == "id" ? padded(s->id) : lower(field == "key" ? s->key : s->name), padded(s->id));
    };
    std::ranges::stable_sort(found, [&](auto* a, auto* b) { return descending ? key(b) < key(a) : key(a) < key(b); });
    std::vector<ordered_json> items;
    for (const FakeSpace* space : found) items.push_back(spaceJson(*space));
    return paged(request, "/spaces", std::move(items), siteURL, style);
}

ApiResponse listPages(const SiteData& data, const ApiRequest& request, std::string_view siteURL, NextLinkStyle style) {
    auto spaceIds = idSet(param(request, "space-id"));
    if (!spaceIds) return badParameter("space-id must be integers");
    std::vector<std::string> statuses =
        commaList(param(request, "status") ? *param(request, "status") : "current,archived");
    for (auto& s : statuses)
        if (!oneOf(s, {"current", "archived", "deleted", "trashed"})) return badParameter("Invalid status");
    std::string sort = param(request, "sort") ? *param(request, "sort") : "id";
    if (!oneOf(sort,
               {"id", "-id", "created-date", "-created-date", "modified-date", "-modified-date", "title", "-title"}))
        return badParameter("Invalid sort");
    if (!validBodyFormat(request, {"storage", "atlas_doc_format"})) return badParameter("Invalid body-format");
    const std::string* title = param(request, "title");

    std::vector<const FakePage*> found;
    for (const auto& page : data.pages)
        if ((spaceIds->empty() || spaceIds->contains(page.spaceId)) &&
            std::ranges::find(statuses, page.status) != statuses.end() && (!title || page.title == *title))
            found.push_back(&page);
    bool descending = sort.starts_with('-');
    std::string field = descending ? sort.substr(1) : sort;
    auto key = [&](const FakePage* p) {
        return std::tuple(field == "modified-date" ? p->modifiedAt
                          : field == "created-date" ? p->createdAt
                          : field == "title"        ? p->title
                                                    : padded(p->id),
                          padded(p->id));
    };
    std::ranges::stable_sort(found, [&](auto* a, auto* b) { return descending ? key(b) < key(a) : key(a) < key(b); });
    bool withBody = param(request, "body-format") && *param(request, "body-format") == "storage";
    std::vector<ordered_json> items;
    for (const FakePage* page : found) items.push_back(pageJson(data, *page, withBody));
    return paged(request, "/pages", std::move(items), siteURL, style);
}

ApiResponse getPage(SiteData& data, std::string_view id, const ApiRequest& request, std::string_view siteURL) {
    if (!validBodyFormat(request, {"storage", "atlas_doc_format", "view", "export_view", "anonymous_export_view",
                                   "styled_view", "editor"}))
        return badParameter("Invalid body-format");
    const FakePage* page = data.pageById(id);
    if (!page || page->status == "deleted") return notFound("Page");
    const std::string* format = param(request, "body-format");
    return jsonResponse(200, pageJson(data, *page, format && *format == "storage", siteURL));
}

ApiResponse createPage(SiteData& data, const ApiRequest& request, std::string_view siteURL) {
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (auto error = writeBodyError(body)) return *error;
    auto spaceId = stringMember(body, "spaceId");
    if (!spaceId || !integer(*spaceId)) return badParameter("spaceId must be a numeric string");
    const FakeSpace* space = data.spaceById(*spaceId);
    if (!space) return notFound("Space");
    FakePage page{.id = data.nextId(),
                  .spaceId = *spaceId,
                  .title = *stringMember(body, "title"),
                  .body = *storageValue(body),
                  .status = body.value("status", "current"),
                  .parentId = space->homepageId,
                  .authorId = data.user.accountId,
                  .createdAt = nowText(),
                  .version = 1,
                  .versionMessage = {},
                  .modifiedAt = {}};
    page.modifiedAt = page.createdAt;
    if (titleTaken(data, *spaceId, page.title, {}))
        return badParameter("A page with this title already exists in this space");
    if (body.contains("parentId")) {
        page.parentId = stringMember(body, "parentId");
        const FakePage* parent = page.parentId ? data.pageById(*page.parentId) : nullptr;
        if (!parent || parent->spaceId != *spaceId || parent->status != "current")
            return badParameter("parentId names no current page of this space");
    }
    data.pages.push_back(page);
    return jsonResponse(200, pageJson(data, page, true, siteURL));
}

ApiResponse updatePage(SiteData& data, std::string_view id, const ApiRequest& request, std::string_view siteURL) {
    FakePage* page = data.pageById(id);
    if (!page || page->status == "deleted") return notFound("Page");
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (auto error = writeBodyError(body)) return *error;
    if (stringMember(body, "id") != id) return badParameter("id in the body must match the page id");
    auto version = body.find("version");
    if (version == body.end() || !version->is_object() || !version->contains("number") ||
        !(*version)["number"].is_number_integer())
        return badParameter("version.number must be an integer");
    if (version->contains("message") && !(*version)["message"].is_string())
        return badParameter("version.message must be a string");
    std::int64_t number = (*version)["number"].get<std::int64_t>();
    if (number != page->version + 1)
        return v2Error(409, "CONFLICT",
                       "Version must be incremented on update. Current Version is: " + std::to_string(page->version));
    std::string title = *stringMember(body, "title");
    if (titleTaken(data, page->spaceId, title, page->id))
        return badParameter("A page with this title already exists in this space");
    page->title = title;
    page->body = *storageValue(body);
    page->version = number;
    page->versionMessage = version->value("message", "");
    page->authorId = data.user.accountId;
    page->modifiedAt = nowText();
    return jsonResponse(200, pageJson(data, *page, true, siteURL));
}

ApiResponse deletePage(SiteData& data, std::string_view id, const ApiRequest& request) {
    FakePage* page = data.pageById(id);
    if (!page || page->status == "deleted") return notFound("Page");
    const std::string* purge = param(request, "purge");
    if (purge && !oneOf(*purge, {"true", "false"})) return badParameter("purge must be true or false");
    if (purge && *purge == "true") {
        if (page->status != "trashed") return badParameter("Only a trashed page can be purged");
        std::erase_if(data.pages, [&](const FakePage& p) { return p.id == id; });
    } else {
        if (page->status != "current") return notFound("Page");
        page->status = "trashed";
    }
    return {204, {}, {}};
}

ApiResponse search(const SiteData& data, const ApiRequest& request, std::string_view siteURL) {
    const std::string* cql = param(request, "cql");
    if (!cql) return v1Error(400, "The cql parameter is required");
    auto query = parseCql(*cql);
    if (!query) return v1Error(400, query.error());
    for (const auto& clause : query->clauses)
        if (!oneOf(clause.field, {"type", "text", "title", "space", "space.key"}))
            return v1Error(400, "Could not parse cql : " + *cql + " (unsupported field " + clause.field + ")");
    std::int64_t limit = 25;
    if (const std::string* text = param(request, "limit")) {
        auto value = integer(*text);
        if (!value || *value < 0) return v1Error(400, "limit must be a non-negative integer");
        limit = *value;
    }

    std::vector<const FakePage*> found;
    for (const auto& page : data.pages)
        if (page.status == "current" &&
            std::ranges::all_of(query->clauses, [&](auto& c) { return matches(c, data, page); }))
            found.push_back(&page);
    if (!query->orderBy.empty()) {
        std::string order = lower(query->orderBy);
        auto key = [&](const FakePage* p) {
            return order == "title" ? p->title : order == "created" ? p->createdAt : p->modifiedAt;
        };
        std::ranges::stable_sort(
            found, [&](auto* a, auto* b) { return query->descending ? key(b) < key(a) : key(a) < key(b); });
    }
    std::vector<std::string> words;
    for (const auto& clause : query->clauses)
        if (clause.field == "text" && clause.op == "~")
            std::ranges::copy(terms(clause.value), std::back_inserter(words));

    ordered_json results = ordered_json::array();
    for (const FakePage* page : found | std::views::take(limit)) {
        const FakeSpace* space = data.spaceById(page->spaceId);
        std::string url = webPath(data, *page);
        results.push_back(
            {{"content",
              {{"id", page->id},
               {"type", "page"},
               {"status", page->status},
               {"title", page->title},
               {"_links", {{"webui", url}}}}},
             {"title", page->title},
             {"excerpt", excerpt(plainText(page->body), words)},
             {"url", url},
             {"resultGlobalContainer",
              {{"title", space ? space->name : ""}, {"displayUrl", "/spaces/" + (space ? space->key : "")}}},
             {"breadcrumbs", ordered_json::array()},
             {"entityType", "content"},
             {"iconCssClass", "aui-icon content-type-page"},
             {"lastModified", page->modifiedAt},
             {"friendlyLastModified", page->modifiedAt.substr(0, 10)},
             {"score", 1.0}});
    }
    std::size_t size = results.size();
    return jsonResponse(200, {{"results", std::move(results)}, {"start", 0}, {"limit", limit}, {"size", size},
                              {"totalSize", found.size()}, {"cqlQuery", *cql}, {"searchDuration", 7},
                              {"_links", {{"base", std::string(siteURL) + "/wiki"}, {"context", "/wiki"}}}});
}

ApiResponse userJson(const FakeUser& user) {
    return jsonResponse(200, {{"type", "known"}, {"accountId", user.accountId}, {"accountType", "atlassian"},
                              {"email", user.email}, {"publicName", user.publicName},
                              {"displayName", user.displayName}, {"isExternalCollaborator", false},
                              {"_links", {{"base", "/wiki"}, {"context", "/wiki"}}}});
}

}  // namespace

ApiResponse FakeApi::answer(const ApiRequest& request, std::string_view siteURL, bool viaGateway) {
    if (!viaGateway && request.method == "GET" && request.path == "/_edge/tenant_info")
        return jsonResponse(200, {{"cloudId", data_.cloudId}});
    auto login = [&](const std::string& token) { return "Basic " + base64(data_.email + ":" + token); };
    if (request.authorization != login(data_.token) && !(viaGateway && request.authorization == login(data_.scopedToken)))
        return v1Error(401, "Unauthorized; scope does not match");

    // why: routing sees decoded segments of the still-encoded path, so an encoded '/' stays inside one id.
    std::vector<std::string> segments;
    for (auto part : std::views::split(std::string_view(request.path).substr(1), '/'))
        segments.push_back(percentDecode(std::string_view(part.begin(), part.end()), false));
    auto route = [&](std::initializer_list<std::string_view> prefix, std::size_t extra) {
        return segments.size() == prefix.size() + extra && std::equal(prefix.begin(), prefix.end(), segments.begin());
    };
    const std::string& method = request.method;
    if (route({"wiki", "rest", "api", "user", "current"}, 0) && method == "GET") return userJson(data_.user);
    if (route({"wiki", "rest", "api", "user"}, 0) && method == "GET") {
        const std::string* accountId = param(request, "accountId");
        if (!accountId) return v1Error(400, "accountId is required");
        const FakeUser* found = data_.userById(*accountId);
        return found ? userJson(*found) : v1Error(404, "No user with accountId " + *accountId);
    }
    if (route({"wiki", "rest", "api", "search"}, 0) && method == "GET") return search(data_, request, siteURL);
    if (route({"wiki", "api", "v2", "spaces"}, 0) && method == "GET")
        return listSpaces(data_, request, siteURL, nextLinkStyle_);
    if (route({"wiki", "api", "v2", "pages"}, 0)) {
        if (method == "GET") return listPages(data_, request, siteURL, nextLinkStyle_);
        if (method == "POST") return createPage(data_, request, siteURL);
    }
    if (route({"wiki", "api", "v2", "pages"}, 1)) {
        if (oneOf(method, {"GET", "PUT", "DELETE"}) && !integer(segments[4]))
            return badParameter("id must be an integer");
        if (method == "GET") return getPage(data_, segments[4], request, siteURL);
        if (method == "PUT") return updatePage(data_, segments[4], request, siteURL);
        if (method == "DELETE") return deletePage(data_, segments[4], request);
    }
    return v2Error(404, "NOT_FOUND", "No route for " + method + " " + request.path);
}

std::string ApiRequest::line() const {
    std::string text = method + " " + path;
    for (std::size_t i = 0; i < query.size(); ++i) text += (i ? "&" : "?") + query[i].first + "=" + query[i].second;
    return text;
}

}  // namespace folioport::fake
