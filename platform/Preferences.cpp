#include "platform/Preferences.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/JsonInteger.h"
#include "platform/Posix.h"
#include "platform/XdgPaths.h"

namespace folioport::platform {
namespace {

constexpr std::string_view builtInFeedURL = "https://updates.tessaly.com/folioport/appcast.json";

struct StringEntry {
    std::string_view name;
    std::string_view fallback;
    // why: a key added later stays out of the file while it holds its fallback, so the file of a user who
    // never needs it stays exactly as it was before the key existed.
    bool storedOnlyOffFallback = false;
};
struct IntegerEntry {
    std::string_view name;
    std::int64_t fallback;
    bool zeroReadsAsFallback;  // why: a page limit of 0 would list nothing, so it means "unset"
};
struct BooleanEntry {
    std::string_view name;
    bool fallback;
    bool storedOnlyOffFallback;  // why: as for strings
    // why: a safety switch must fail closed: any value there but false ("true", 1, null, a second copy of the
    // key) turns it on, where another switch falls back to its default.
    bool onUnlessFalse = false;
};

// The one table of stored settings: key, type (by table) and the value read when the key is
// absent or holds another type.
constexpr std::array stringEntries{
    StringEntry{"baseURL", ""},
    StringEntry{"email", ""},
    StringEntry{"spaceKey", ""},
    StringEntry{"updateFeedURL", builtInFeedURL},
    StringEntry{"gatewayBaseURL", "", true},
};
constexpr std::array integerEntries{
    IntegerEntry{"pageLimit", 50, true},
    IntegerEntry{"refreshMinutes", 30, false},
};
constexpr std::array booleanEntries{
    BooleanEntry{"autoUpdate", true, false},
    BooleanEntry{"assistantsReadOnly", false, true, true},
};

static_assert(stringEntries[static_cast<std::size_t>(StringPreference::updateFeedURL)].name == "updateFeedURL");
static_assert(stringEntries[static_cast<std::size_t>(StringPreference::gatewayBaseURL)].name == "gatewayBaseURL");
static_assert(integerEntries[static_cast<std::size_t>(IntegerPreference::refreshMinutes)].name == "refreshMinutes");
static_assert(booleanEntries[static_cast<std::size_t>(BooleanPreference::assistantsReadOnly)].name == "assistantsReadOnly");

template <class Key, class Table>
const auto& entry(const Table& table, Key key) {
    return table[static_cast<std::size_t>(key)];
}

std::string keyName(StringPreference key) { return std::string(entry(stringEntries, key).name); }
std::string keyName(IntegerPreference key) { return std::string(entry(integerEntries, key).name); }
std::string keyName(BooleanPreference key) { return std::string(entry(booleanEntries, key).name); }

/// The file a chain of symbolic links ends at (the path itself when it is none); a dangling link's
/// target is where the file will be created.
std::filesystem::path linkTarget(std::filesystem::path path) {
    constexpr int maxLinks = 40;  // as the kernel allows
    std::error_code error;
    for (int hop = 0; hop < maxLinks && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path.lexically_normal();
}

// why: unknown keys are written back, and the library writes (and frees) nested values recursively.
constexpr std::size_t maxNesting = 512;

/// How deep arrays and objects nest in JSON text, brackets inside strings aside.
std::size_t nestingDepth(std::string_view text) {
    std::size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

std::filesystem::path Preferences::defaultFile() {
    return xdgConfigHome() / "com.tessaly.folioport" / "preferences.json";
}

Preferences::Reading Preferences::inspect(const std::filesystem::path& file) {
    Reading reading;
    auto unusable = [&](const std::string& why) {
        reading.problem = file.string() + " " + why;
        return std::move(reading);
    };
    const auto contents = readRegularFile(file, maxFileBytes, /*followSymlinks=*/true);
    if (!contents) {
        using Kind = FileReadFailure::Kind;
        switch (contents.error().kind) {
        case Kind::missing: return reading;
        case Kind::cannotOpen: return unusable(std::string("cannot be opened: ") + std::strerror(contents.error().error));
        case Kind::notRegular: return unusable("is not a regular file, so it was not read");
        case Kind::tooLarge: return unusable("is larger than " + std::to_string(maxFileBytes >> 20) + " MB, so it was not read");
        case Kind::unreadable: return unusable(std::string("cannot be read: ") + std::strerror(contents.error().error));
        }
    }
    if (nestingDepth(*contents) > maxNesting) return unusable("nests deeper than " + std::to_string(maxNesting) + " levels");
    // why: the parser keeps the last of duplicate keys, so each copy of a safety switch is looked at as it goes by.
    struct Seen {
        bool notFalse = false, notBoolean = false;
    };
    std::vector<std::pair<std::string_view, Seen>> switches;
    for (const BooleanEntry& key : booleanEntries)
        if (key.onUnlessFalse) switches.emplace_back(key.name, Seen{});
    std::string member;
    const auto watch = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (depth != 1) return true;
        if (event == Event::key) member = parsed.get<std::string>();
        if (event != Event::value && event != Event::object_end && event != Event::array_end) return true;
        for (auto& [name, seen] : switches) {
            if (name != member) continue;
            seen.notFalse = seen.notFalse || parsed != false;
            seen.notBoolean = seen.notBoolean || !parsed.is_boolean();
        }
        return true;
    };
    nlohmann::json parsed = nlohmann::json::parse(*contents, watch, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return unusable("holds no JSON object");
    Preferences& preferences = reading.preferences;
    preferences.values_ = std::move(parsed);
    for (const auto& [name, seen] : switches) {
        if (!seen.notFalse) continue;
        preferences.heldOn_.push_back(name);
        const std::string holds = file.string() + " holds \"" + std::string(name) + "\"";
        if (seen.notBoolean)
            reading.doubts.push_back(holds + " as something other than true or false, so it reads as true");
        else if (preferences.values_.at(name) == false)
            reading.doubts.push_back(holds + " more than once, not always false, so it reads as true");
    }
    return reading;
}

Preferences Preferences::read(const std::filesystem::path& file) { return inspect(file).preferences; }

std::string Preferences::fallback(StringPreference key) { return std::string(entry(stringEntries, key).fallback); }
std::int64_t Preferences::fallback(IntegerPreference key) { return entry(integerEntries, key).fallback; }
bool Preferences::fallback(BooleanPreference key) { return entry(booleanEntries, key).fallback; }

std::string Preferences::string(StringPreference key) const {
    const auto& keyEntry = entry(stringEntries, key);
    const auto found = values_.find(keyEntry.name);
    if (found != values_.end() && found->is_string()) return found->get<std::string>();
    return std::string(keyEntry.fallback);
}

std::int64_t Preferences::integer(IntegerPreference key) const {
    const auto& keyEntry = entry(integerEntries, key);
    const auto found = values_.find(keyEntry.name);
    const std::optional<std::int64_t> value = found == values_.end() ? std::nullopt : int64Value(*found);
    if (!value || (*value == 0 && keyEntry.zeroReadsAsFallback)) return keyEntry.fallback;
    return *value;
}

bool Preferences::boolean(BooleanPreference key) const {
    const auto& keyEntry = entry(booleanEntries, key);
    if (keyEntry.onUnlessFalse && std::ranges::find(heldOn_, keyEntry.name) != heldOn_.end()) return true;
    const auto found = values_.find(keyEntry.name);
    return found != values_.end() && found->is_boolean() ? found->get<bool>() : keyEntry.fallback;
}

void Preferences::set(StringPreference key, std::string value) {
    const auto& keyEntry = entry(stringEntries, key);
    if (keyEntry.storedOnlyOffFallback && value == keyEntry.fallback) values_.erase(keyName(key));
    else values_[keyName(key)] = std::move(value);
}
void Preferences::set(IntegerPreference key, std::int64_t value) { values_[keyName(key)] = value; }
void Preferences::set(BooleanPreference key, bool value) {
    const auto& keyEntry = entry(booleanEntries, key);
    std::erase(heldOn_, keyEntry.name);
    if (keyEntry.storedOnlyOffFallback && value == keyEntry.fallback) values_.erase(keyName(key));
    else values_[keyName(key)] = value;
}

std::expected<void, std::string> Preferences::write(const std::filesystem::path& file) const {
    // why: a dotfiles manager links the file elsewhere; replacing the link would cut it off.
    const std::filesystem::path target = linkTarget(file);
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error) return std::unexpected("cannot create " + target.parent_path().string() + ": " + error.message());
    removeAbandonedTemporaries(target.parent_path(), target.filename().string());
    return replaceFileAtomically(
        target, values_.dump(2, ' ', /*ensure_ascii=*/false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace folioport::platform
