#include "FakeApi.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>
#include <set>

#include <openssl/evp.h>

#include "CqlQuery.h"

namespace folioport::fake {
namespace {

using nlohmann::ordered_json;

constexpr std::string_view v2 = "/wiki/api/v2";

ApiResponse jsonResponse(int status, const ordered_json& body) { return {status, body.dump(), "application/json", {}}; }

/// The v2 error envelope.
ApiResponse v2Error(int status, std::string_view code, std::string_view title) {
    return jsonResponse(status, {{"errors", ordered_json::array({{{"status", status},
                                                                  {"code", code},
                                                                  {"title", title},
                                                                  {"detail", nullptr}}})}});
}

/// The v1 error envelope.
ApiResponse v1Error(int status, std::string_view message) {
    return jsonResponse(status, {{"statusCode", status}, {"message", message}});
}

ApiResponse badParameter(std::string_view title) { return v2Error(400, "INVALID_REQUEST_PARAMETER", title); }

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::optional<std::string> base64Decoded(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) return std::nullopt;
    std::string out(3 * text.size() / 4, '\0');
    int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (written < 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(written));
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
    for (const auto& [key, value] : request.query)
        if (key == name) return &value;
    return nullptr;
}

std::vector<std::string> commaList(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        if (auto item = text.substr(0, comma); !item.empty()) items.emplace_back(item);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    return items;
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::ranges::find(allowed, value) != allowed.end();
}

std::string nowText() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
    return std::string(text) + fraction;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

/// Tags removed, the common entities decoded, runs of blanks folded.
std::string plainText(std::string_view storage) {
    std::string out;
    bool inTag = false;
    for (std::size_t i = 0; i < storage.size(); ++i) {
        char c = storage[i];
        if (inTag) {
            inTag = c != '>';
            continue;
        }
        if (c == '<') {
            inTag = true;
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        if (c == '&') {
            static const std::pair<std::string_view, char> entities[] = {
                {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&nbsp;", ' '}};
            auto match = std::ranges::find_if(entities, [&](auto& e) { return storage.substr(i).starts_with(e.first); });
            if (match != std::end(entities)) {
                out += match->second;
                i += match->first.size() - 1;
                continue;
            }
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string escapeMarkup(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string webPath(const FakeSpace& space, const FakePage& page) {
    std::string path = "/spaces/" + space.key + "/pages/" + page.id + "/";
    for (char c : page.title) path += c == ' ' ? std::string("+") : percentEncode(std::string_view(&c, 1));
    return path;
}

ordered_json spaceJson(const FakeSpace& space) {
    return {{"id", space.id},
            {"key", space.key},
            {"name", space.name},
            {"type", space.type},
            {"status", space.status},
            {"authorId", FakeUser{}.accountId},
            {"createdAt", "2025-06-02T08:00:00.000Z"},
            {"homepageId", space.homepageId ? ordered_json(*space.homepageId) : ordered_json(nullptr)},
            {"description", nullptr},
            {"icon", nullptr},
            {"_links", {{"webui", "/spaces/" + space.key}}}};
}

ordered_json pageJson(const SiteData& data, const FakePage& page, bool withBody) {
    const FakeSpace* space = data.spaceById(page.spaceId);
    ordered_json json = {
        {"id", page.id},
        {"status", page.status},
        {"title", page.title},
        {"spaceId", page.spaceId},
        {"parentId", page.parentId ? ordered_json(*page.parentId) : ordered_json(nullptr)},
        {"parentType", page.parentId ? ordered_json("page") : ordered_json(nullptr)},
        {"position", 0},
        {"authorId", page.authorId},
        {"ownerId", page.authorId},
        {"lastOwnerId", nullptr},
        {"createdAt", page.createdAt},
        {"version",
         {{"createdAt", page.modifiedAt},
          {"message", page.versionMessage},
          {"number", page.version},
          {"minorEdit", false},
          {"authorId", page.authorId}}},
    };
    if (withBody) json["body"] = {{"storage", {{"representation", "storage"}, {"value", page.body}}}};
    json["_links"] = {{"editui", "/pages/resumedraft.action?draftId=" + page.id},
                      {"webui", space ? webPath(*space, page) : "/pages/viewpage.action?pageId=" + page.id},
                      {"tinyui", "/x/" + base64(page.id).substr(0, 6)}};
    return json;
}

/// One batch of `items` from the request's cursor, with a next link repeating the query plus the new cursor.
ApiResponse pagedAnswer(const ApiRequest& request, std::string_view endpoint, std::vector<ordered_json> items,
                        NextLinkStyle style, std::string_view siteURL) {
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
    ordered_json results = ordered_json::array();
    std::size_t end = std::min(items.size(), offset + static_cast<std::size_t>(limit));
    for (std::size_t i = offset; i < end; ++i) results.push_back(std::move(items[i]));
    ordered_json links = {{"base", std::string(siteURL) + "/wiki"}};
    if (end < items.size()) {
        QueryItems query;
        for (const auto& item : request.query)
            if (item.first != "cursor") query.push_back(item);
        query.emplace_back("cursor", base64("offset:" + std::to_string(end)));
        std::string tail = std::string(endpoint) + "?" + formatQuery(query);
        switch (style) {
        case NextLinkStyle::wikiPath: links["next"] = std::string(v2) + tail; break;
        case NextLinkStyle::apiPath: links["next"] = "/api/v2" + tail; break;
        case NextLinkStyle::absolute: links["next"] = std::string(siteURL) + std::string(v2) + tail; break;
        }
    }
    // The documents name the Link header as the paging carrier; the body's _links.next says the same.
    std::string link = "<" + links["base"].get<std::string>() + ">; rel=\"base\"";
    if (links.contains("next")) link = "<" + links["next"].get<std::string>() + ">; rel=\"next\", " + link;
    ApiResponse response = jsonResponse(200, {{"results", std::move(results)}, {"_links", std::move(links)}});
    response.link = std::move(link);
    return response;
}

/// Validates a comma list of numeric ids; nullopt when any item is not an integer.
std::optional<std::set<std::string>> idSet(const std::string* text) {
    std::set<std::string> ids;
    if (!text) return ids;
    for (auto& item : commaList(*text)) {
        if (!integer(item)) return std::nullopt;
        ids.insert(item);
    }
    return ids;
}

/// The body-format parameter, when it is one of `allowed`.
std::optional<std::string> bodyFormat(const ApiRequest& request, std::initializer_list<std::string_view> allowed,
                                      bool& valid) {
    valid = true;
    const std::string* format = param(request, "body-format");
    if (!format) return std::nullopt;
    valid = oneOf(*format, allowed);
    return *format;
}

/// Reads a request body as a JSON object, or explains why not.
std::expected<nlohmann::json, ApiResponse> jsonBody(const ApiRequest& request) {
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
        return std::unexpected(v2Error(400, "INVALID_REQUEST_BODY", "The request body is not a JSON object"));
    return body;
}

std::optional<std::string> stringMember(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

/// The storage value of a write body {"representation": "storage", "value": …}.
std::optional<std::string> storageValue(const nlohmann::json& object) {
    auto body = object.find("body");
    if (body == object.end() || !body->is_object()) return std::nullopt;
    if (stringMember(*body, "representation") != "storage") return std::nullopt;
    return stringMember(*body, "value");
}

bool titleTaken(const SiteData& data, const std::string& spaceId, const std::string& title, const std::string& exceptId) {
    return std::ranges::any_of(data.pages, [&](const FakePage& p) {
        return p.spaceId == spaceId && p.title == title && p.status == "current" && p.id != exceptId;
    });
}

/// Every term of a text query, lower-cased.
std::vector<std::string> terms(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty()) out.push_back(lower(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) out.push_back(lower(current));
    return out;
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
        auto hit = std::ranges::find_if(words, [&](const std::string& w) {
            return !w.empty() && lowered.compare(i, w.size(), w) == 0;
        });
        if (hit != words.end()) {
            out += "@@@hl@@@" + escapeMarkup(text.substr(i, hit->size())) + "@@@endhl@@@";
            i += hit->size();
        } else {
            out += escapeMarkup(text.substr(i, 1));
            ++i;
        }
    }
    return out;
}

bool matches(const CqlClause& clause, const SiteData& data, const FakePage& page) {
    bool negated = clause.op.starts_with('!');
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
    return hit != negated;
}

}  // namespace

FakeApi::FakeApi(SiteData data) : data_(std::move(data)) {}

ApiResponse FakeApi::answer(const ApiRequest& request, std::string_view siteURL) {
    if (request.authorization != "Basic " + base64(data_.email + ":" + data_.token))
        return v1Error(401, "Unauthorized; scope does not match");

    std::vector<std::string> segments;
    for (std::string_view rest = request.rawPath; !rest.empty();) {
        std::size_t slash = rest.find('/', 1);
        segments.push_back(percentDecode(rest.substr(1, slash == std::string_view::npos ? slash : slash - 1), false));
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    auto route = [&](std::initializer_list<std::string_view> prefix, std::size_t extra) {
        return segments.size() == prefix.size() + extra && std::equal(prefix.begin(), prefix.end(), segments.begin());
    };
    const std::string& method = request.method;
    if (route({"wiki", "rest", "api", "user", "current"}, 0) && method == "GET") return currentUser();
    if (route({"wiki", "rest", "api", "search"}, 0) && method == "GET") return search(request, siteURL);
    if (route({"wiki", "api", "v2", "spaces"}, 0) && method == "GET") return listSpaces(request, siteURL);
    if (route({"wiki", "api", "v2", "pages"}, 0)) {
        if (method == "GET") return listPages(request, siteURL);
        if (method == "POST") return createPage(request, siteURL);
    }
    if (route({"wiki", "api", "v2", "pages"}, 1)) {
        if (method == "GET") return getPage(segments[4], request, siteURL);
        if (method == "PUT") return updatePage(segments[4], request, siteURL);
        if (method == "DELETE") return deletePage(segments[4], request);
    }
    return v2Error(404, "NOT_FOUND", "No route for " + method + " " + request.rawPath);
}

ApiResponse FakeApi::currentUser() const {
    return jsonResponse(200, {{"type", "known"},
                              {"accountId", data_.user.accountId},
                              {"accountType", "atlassian"},
                              {"email", data_.user.email},
                              {"publicName", data_.user.publicName},
                              {"displayName", data_.user.displayName},
                              {"isExternalCollaborator", false},
                              {"_links", {{"base", "/wiki"}, {"context", "/wiki"}}}});
}

ApiResponse FakeApi::listSpaces(const ApiRequest& request, std::string_view siteURL) const {
    auto ids = idSet(param(request, "ids"));
    if (!ids) return badParameter("ids must be integers");
    std::vector<std::string> keys = param(request, "keys") ? commaList(*param(request, "keys")) : std::vector<std::string>{};
    const std::string* status = param(request, "status");
    if (status && !oneOf(*status, {"current", "archived"})) return badParameter("Invalid status");
    const std::string* type = param(request, "type");
    std::string sort = param(request, "sort") ? *param(request, "sort") : "id";
    if (!oneOf(sort, {"id", "-id", "key", "-key", "name", "-name"})) return badParameter("Invalid sort");

    std::vector<const FakeSpace*> found;
    for (const auto& space : data_.spaces) {
        if (!ids->empty() && !ids->contains(space.id)) continue;
        if (!keys.empty() && std::ranges::find(keys, space.key) == keys.end()) continue;
        if (status && space.status != *status) continue;
        if (type && space.type != *type) continue;
        found.push_back(&space);
    }
    bool descending = sort.starts_with('-');
    std::string field = descending ? sort.substr(1) : sort;
    std::ranges::stable_sort(found, [&](const FakeSpace* a, const FakeSpace* b) {
        auto key = [&](const FakeSpace* s) {
            return field == "id" ? std::tuple(std::string(20 - std::min<std::size_t>(20, s->id.size()), '0') + s->id, s->id)
                                 : std::tuple(lower(field == "key" ? s->key : s->name), s->id);
        };
        return descending ? key(b) < key(a) : key(a) < key(b);
    });
    std::vector<ordered_json> items;
    for (const FakeSpace* space : found) items.push_back(spaceJson(*space));
    return pagedAnswer(request, "/spaces", std::move(items), nextLinkStyle_, siteURL);
}

ApiResponse FakeApi::listPages(const ApiRequest& request, std::string_view siteURL) const {
    auto ids = idSet(param(request, "id"));
    auto spaceIds = idSet(param(request, "space-id"));
    if (!ids || !spaceIds) return badParameter("id and space-id must be integers");
    std::vector<std::string> statuses = {"current", "archived"};
    if (const std::string* text = param(request, "status")) {
        statuses = commaList(*text);
        for (auto& s : statuses)
            if (!oneOf(s, {"current", "archived", "deleted", "trashed"})) return badParameter("Invalid status");
    }
    std::string sort = param(request, "sort") ? *param(request, "sort") : "id";
    if (!oneOf(sort, {"id", "-id", "created-date", "-created-date", "modified-date", "-modified-date", "title", "-title"}))
        return badParameter("Invalid sort");
    bool validFormat = true;
    auto format = bodyFormat(request, {"storage", "atlas_doc_format"}, validFormat);
    if (!validFormat) return badParameter("Invalid body-format");
    const std::string* title = param(request, "title");

    std::vector<const FakePage*> found;
    for (const auto& page : data_.pages) {
        if (!ids->empty() && !ids->contains(page.id)) continue;
        if (!spaceIds->empty() && !spaceIds->contains(page.spaceId)) continue;
        if (std::ranges::find(statuses, page.status) == statuses.end()) continue;
        if (title && page.title != *title) continue;
        found.push_back(&page);
    }
    bool descending = sort.starts_with('-');
    std::string field = descending ? sort.substr(1) : sort;
    std::ranges::stable_sort(found, [&](const FakePage* a, const FakePage* b) {
        auto key = [&](const FakePage* p) {
            std::string padded = std::string(20 - std::min<std::size_t>(20, p->id.size()), '0') + p->id;
            if (field == "modified-date") return std::tuple(p->modifiedAt, padded);
            if (field == "created-date") return std::tuple(p->createdAt, padded);
            if (field == "title") return std::tuple(p->title, padded);
            return std::tuple(padded, padded);
        };
        return descending ? key(b) < key(a) : key(a) < key(b);
    });
    std::vector<ordered_json> items;
    for (const FakePage* page : found) items.push_back(pageJson(data_, *page, format == "storage"));
    return pagedAnswer(request, "/pages", std::move(items), nextLinkStyle_, siteURL);
}

ApiResponse FakeApi::getPage(std::string_view id, const ApiRequest& request, std::string_view siteURL) {
    if (!integer(id)) return badParameter("id must be an integer");
    bool validFormat = true;
    auto format = bodyFormat(request,
                             {"storage", "atlas_doc_format", "view", "export_view", "anonymous_export_view",
                              "styled_view", "editor"},
                             validFormat);
    if (!validFormat) return badParameter("Invalid body-format");
    const FakePage* page = data_.pageById(id);
    if (!page || page->status == "deleted") return v2Error(404, "NOT_FOUND", "Page not found");
    ordered_json json = pageJson(data_, *page, format == "storage");
    json["_links"]["base"] = std::string(siteURL) + "/wiki";
    return jsonResponse(200, json);
}

ApiResponse FakeApi::createPage(const ApiRequest& request, std::string_view siteURL) {
    auto body = jsonBody(request);
    if (!body) return body.error();
    auto spaceId = stringMember(*body, "spaceId");
    auto title = stringMember(*body, "title");
    auto storage = storageValue(*body);
    auto status = body->contains("status") ? stringMember(*body, "status") : std::optional<std::string>("current");
    if (!spaceId || !integer(*spaceId)) return badParameter("spaceId must be a numeric string");
    if (!status || !oneOf(*status, {"current", "draft"})) return badParameter("status must be current or draft");
    if (!title || title->empty()) return badParameter("title is required");
    if (!storage) return badParameter("body must have representation storage and a string value");
    const FakeSpace* space = data_.spaceById(*spaceId);
    if (!space) return v2Error(404, "NOT_FOUND", "Space not found");
    if (titleTaken(data_, *spaceId, *title, {}))
        return v2Error(400, "INVALID_REQUEST_PARAMETER", "A page with this title already exists in this space");

    FakePage page;
    page.parentId = space->homepageId;
    if (body->contains("parentId")) {
        auto parentId = stringMember(*body, "parentId");
        const FakePage* parent = parentId ? data_.pageById(*parentId) : nullptr;
        if (!parent || parent->spaceId != *spaceId || parent->status != "current")
            return badParameter("parentId names no current page of this space");
        page.parentId = parentId;
    }
    page.id = data_.nextId();
    page.spaceId = *spaceId;
    page.title = *title;
    page.body = *storage;
    page.status = *status;
    page.authorId = data_.user.accountId;
    page.createdAt = page.modifiedAt = nowText();
    data_.pages.push_back(page);
    ordered_json json = pageJson(data_, page, true);
    json["_links"]["base"] = std::string(siteURL) + "/wiki";
    return jsonResponse(200, json);
}

ApiResponse FakeApi::updatePage(std::string_view id, const ApiRequest& request, std::string_view siteURL) {
    if (!integer(id)) return badParameter("id must be an integer");
    FakePage* page = data_.pageById(id);
    if (!page || page->status == "deleted") return v2Error(404, "NOT_FOUND", "Page not found");
    auto body = jsonBody(request);
    if (!body) return body.error();
    auto bodyId = stringMember(*body, "id");
    auto status = stringMember(*body, "status");
    auto title = stringMember(*body, "title");
    auto storage = storageValue(*body);
    auto version = body->find("version");
    if (bodyId != id) return badParameter("id in the body must match the page id");
    if (!status || !oneOf(*status, {"current", "draft"})) return badParameter("status must be current or draft");
    if (!title || title->empty()) return badParameter("title is required");
    if (!storage) return badParameter("body must have representation storage and a string value");
    if (version == body->end() || !version->is_object() || !version->contains("number") ||
        !(*version)["number"].is_number_integer())
        return badParameter("version.number must be an integer");
    if (version->contains("message") && !(*version)["message"].is_string())
        return badParameter("version.message must be a string");

    if (page->status == "trashed" && *status == "current") {
        page->status = "current";  // restoring leaves the content as it was
    } else {
        std::int64_t number = (*version)["number"].get<std::int64_t>();
        if (number != page->version + 1)
            return v2Error(409, "CONFLICT",
                           "Version must be incremented on update. Current Version is: " +
                               std::to_string(page->version));
        if (titleTaken(data_, page->spaceId, *title, page->id))
            return v2Error(400, "INVALID_REQUEST_PARAMETER", "A page with this title already exists in this space");
        page->title = *title;
        page->body = *storage;
        page->version = number;
        page->versionMessage = version->value("message", "");
        page->modifiedAt = nowText();
    }
    ordered_json json = pageJson(data_, *page, true);
    json["_links"]["base"] = std::string(siteURL) + "/wiki";
    return jsonResponse(200, json);
}

ApiResponse FakeApi::deletePage(std::string_view id, const ApiRequest& request) {
    if (!integer(id)) return badParameter("id must be an integer");
    FakePage* page = data_.pageById(id);
    if (!page || page->status == "deleted") return v2Error(404, "NOT_FOUND", "Page not found");
    const std::string* purge = param(request, "purge");
    if (purge && !oneOf(*purge, {"true", "false"})) return badParameter("purge must be true or false");
    if (purge && *purge == "true") {
        if (page->status != "trashed") return badParameter("Only a trashed page can be purged");
        std::erase_if(data_.pages, [&](const FakePage& p) { return p.id == id; });
    } else {
        if (page->status != "current") return v2Error(404, "NOT_FOUND", "Page not found");
        page->status = "trashed";
    }
    return {204, {}, {}, {}};
}

ApiResponse FakeApi::search(const ApiRequest& request, std::string_view siteURL) const {
    const std::string* cql = param(request, "cql");
    if (!cql) return v1Error(400, "The cql parameter is required");
    auto query = CqlQuery::parse(*cql);
    if (!query) return v1Error(400, query.error());
    for (const auto& clause : query->clauses)
        if (!oneOf(clause.field, {"type", "text", "title", "space", "space.key"}))
            return v1Error(400, "Could not parse cql : " + *cql + " (unsupported field " + clause.field + ")");
    std::int64_t limit = 25, start = 0;
    if (const std::string* text = param(request, "limit")) {
        auto value = integer(*text);
        if (!value || *value < 0) return v1Error(400, "limit must be a non-negative integer");
        limit = *value;
    }
    if (const std::string* text = param(request, "start")) {
        auto value = integer(*text);
        if (!value || *value < 0) return v1Error(400, "start must be a non-negative integer");
        start = *value;
    }

    std::vector<const FakePage*> found;
    std::vector<std::string> words;
    for (const auto& clause : query->clauses)
        if (clause.field == "text" && clause.op == "~")
            for (auto& word : terms(clause.value)) words.push_back(word);
    for (const auto& page : data_.pages)
        if (page.status == "current" &&
            std::ranges::all_of(query->clauses, [&](auto& clause) { return matches(clause, data_, page); }))
            found.push_back(&page);
    if (!query->orderBy.empty()) {
        std::string order = lower(query->orderBy);
        std::ranges::stable_sort(found, [&](const FakePage* a, const FakePage* b) {
            auto key = [&](const FakePage* p) {
                return order == "title" ? p->title : order == "created" ? p->createdAt : p->modifiedAt;
            };
            return query->descending ? key(b) < key(a) : key(a) < key(b);
        });
    }

    ordered_json results = ordered_json::array();
    for (std::size_t i = static_cast<std::size_t>(start);
         i < found.size() && results.size() < static_cast<std::size_t>(limit); ++i) {
        const FakePage& page = *found[i];
        const FakeSpace* space = data_.spaceById(page.spaceId);
        std::string url = space ? webPath(*space, page) : "/pages/viewpage.action?pageId=" + page.id;
        results.push_back({{"content",
                            {{"id", page.id},
                             {"type", "page"},
                             {"status", page.status},
                             {"title", page.title},
                             {"_links", {{"webui", url}}}}},
                           {"title", page.title},
                           {"excerpt", excerpt(plainText(page.body), words)},
                           {"url", url},
                           {"resultGlobalContainer",
                            {{"title", space ? space->name : ""}, {"displayUrl", "/spaces/" + (space ? space->key : "")}}},
                           {"breadcrumbs", ordered_json::array()},
                           {"entityType", "content"},
                           {"iconCssClass", "aui-icon content-type-page"},
                           {"lastModified", page.modifiedAt},
                           {"friendlyLastModified", page.modifiedAt.substr(0, 10)},
                           {"score", 1.0}});
    }
    std::size_t size = results.size();
    return jsonResponse(200, {{"results", std::move(results)},
                              {"start", start},
                              {"limit", limit},
                              {"size", size},
                              {"totalSize", found.size()},
                              {"cqlQuery", *cql},
                              {"searchDuration", 7},
                              {"_links", {{"base", std::string(siteURL) + "/wiki"}, {"context", "/wiki"}}}});
}

}  // namespace folioport::fake
