#include "SiteData.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace folioport::fake {
namespace {

using nlohmann::json;

constexpr std::int64_t maxGenerated = 100'000;

std::int64_t numericId(std::string_view id) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
    return error == std::errc() && end == id.data() + id.size() ? value : 0;
}

std::string text(const json& object, const char* key, std::string fallback = {}) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

FakePage makePage(std::string id, std::string spaceId, std::string title, std::string body, std::int64_t version,
                  std::string modifiedAt) {
    return {std::move(id), std::move(spaceId), std::move(title), std::move(body), "current", std::nullopt,
            FakeUser{}.accountId, "2026-01-05T09:00:00.000Z", version, "", std::move(modifiedAt)};
}

}  // namespace

SiteData SiteData::minimal() {
    SiteData site;
    site.spaces = {{"65537", "ENG", "Engineering", "global", "current", "98305"},
                   {"65538", "OPS", "Operations", "global", "current", {}}};
    site.pages = {
        makePage("98305", "65537", "Engineering Home", "<p>Welcome to engineering.</p>", 4, "2026-11-20T10:00:00.000Z"),
        makePage("98306", "65537", "Roadmap for Q3",
                 "<h1>Roadmap</h1><p>The roadmap for Q3 covers search &amp; sync.</p>", 7, "2026-12-01T08:30:00.000Z"),
        makePage("98307", "65537", "Release checklist", "<ul><li>Tag the release</li><li>Publish notes</li></ul>", 2,
                 "2026-11-28T16:45:00.000Z"),
        makePage("98308", "65538", "On-call rota", "<p>Who is on call this week.</p>", 12, "2026-12-03T07:15:00.000Z"),
    };
    site.pages[1].parentId = site.pages[2].parentId = "98305";
    return site;
}

void SiteData::addGenerated(int spaceCount, int pageCount) {
    static constexpr std::string_view themes[] = {"Design",  "Platform", "Research", "Support",  "Finance",
                                                  "Mobile",  "Security", "Data",     "Legal",    "Marketing",
                                                  "Quality", "Hiring",   "Infra",    "Partners", "Docs"};
    std::int64_t next = numericId(nextId());
    for (int i = 0; i < spaceCount; ++i) {
        const std::string theme(themes[static_cast<std::size_t>(i) % std::size(themes)]);
        std::string key = theme.substr(0, 3);
        std::ranges::transform(key, key.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const std::string number = std::to_string(i / std::ssize(themes) + 1);
        spaces.push_back({std::to_string(next++), key + number, theme + " " + number, "global", "current", {}});
    }
    if (spaces.empty()) return;
    for (int i = 0; i < pageCount; ++i) {
        const FakeSpace& space = spaces[static_cast<std::size_t>(i) % spaces.size()];
        const int minutesAgo = i % (28 * 24 * 60);
        char modifiedAt[32];
        std::snprintf(modifiedAt, sizeof modifiedAt, "2026-11-%02dT%02d:%02d:00.000Z", 28 - minutesAgo / (24 * 60),
                      23 - minutesAgo / 60 % 24, 59 - minutesAgo % 60);
        pages.push_back(makePage(std::to_string(next++), space.id, "Notes " + std::to_string(i + 1) + " of " + space.name,
                                 "<p>Made-up page.</p>", 1, modifiedAt));
    }
}

std::expected<SiteData, std::string> SiteData::fromSeed(const json& seed) {
    if (!seed.is_object()) return std::unexpected("the seed must be a JSON object");
    SiteData site;
    if (auto credentials = seed.find("credentials"); credentials != seed.end() && credentials->is_object()) {
        site.email = text(*credentials, "email", site.email);
        site.token = text(*credentials, "token", site.token);
        site.scopedToken = text(*credentials, "scopedToken", site.scopedToken);
    }
    for (const json& item : seed.value("spaces", json::array())) {
        if (!item.is_object() || text(item, "key").empty()) return std::unexpected("every space needs a \"key\"");
        site.spaces.push_back({text(item, "id", site.nextId()),
                               text(item, "key"),
                               text(item, "name", text(item, "key")),
                               "global",
                               "current",
                               {}});
    }
    for (const json& item : seed.value("pages", json::array())) {
        if (!item.is_object() || text(item, "title").empty()) return std::unexpected("every page needs a \"title\"");
        auto space = std::ranges::find(site.spaces, text(item, "space"), &FakeSpace::key);
        if (space == site.spaces.end())
            return std::unexpected("page \"" + text(item, "title") + "\" names no known space");
        auto version = item.value("version", json(1));
        if (!version.is_number_integer() || version.get<std::int64_t>() < 1)
            return std::unexpected("a page's \"version\" must be a positive integer");
        site.pages.push_back(makePage(text(item, "id", site.nextId()), space->id, text(item, "title"),
                                      text(item, "body"), version.get<std::int64_t>(),
                                      text(item, "modifiedAt", "2026-12-01T12:00:00.000Z")));
    }
    int extra[2] = {0, 0};
    for (int i = 0; const char* name : {"extraSpaces", "extraPages"}) {
        const json count = seed.value(name, json(0));
        if (!count.is_number_integer() || count.get<std::int64_t>() < 0 || count.get<std::int64_t>() > maxGenerated)
            return std::unexpected("\"" + std::string(name) + "\" must be an integer from 0 to " +
                                   std::to_string(maxGenerated));
        extra[i++] = count.get<int>();
    }
    site.addGenerated(extra[0], extra[1]);
    return site;
}

std::string SiteData::nextId() const {
    std::int64_t highest = 65536;
    for (const auto& space : spaces) highest = std::max(highest, numericId(space.id));
    for (const auto& page : pages) highest = std::max(highest, numericId(page.id));
    return std::to_string(highest + 1);
}

const FakeSpace* SiteData::spaceById(std::string_view id) const {
    auto it = std::ranges::find(spaces, id, &FakeSpace::id);
    return it == spaces.end() ? nullptr : &*it;
}

FakePage* SiteData::pageById(std::string_view id) {
    auto it = std::ranges::find(pages, id, &FakePage::id);
    return it == pages.end() ? nullptr : &*it;
}

const FakeUser* SiteData::userById(std::string_view accountId) const {
    if (user.accountId == accountId) return &user;
    auto found = std::ranges::find(colleagues, accountId, &FakeUser::accountId);
    return found == colleagues.end() ? nullptr : &*found;
}

}  // namespace folioport::fake
