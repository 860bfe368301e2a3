#include "confluence/RecordDecoder.h"

#include <optional>

#include <nlohmann/json.hpp>

#include "platform/JsonInteger.h"

namespace folioport {

namespace {

using nlohmann::json;

/// Where a value sits in the response; turned into text only when decoding fails.
struct Location {
    const Location* parent = nullptr;
    std::string_view key;            ///< of an object member
    std::optional<std::size_t> index;  ///< of an array element

    std::string text() const {
        std::string prefix = parent ? parent->text() : std::string{};
        if (index) return prefix + '[' + std::to_string(*index) + ']';
        if (key.empty()) return prefix;
        return prefix.empty() ? std::string(key) : prefix + '.' + std::string(key);
    }
};

/// Thrown and caught inside this file only; decodeRecord turns it into its error value.
struct DecodingFailure {
    std::string message;
};

[[noreturn]] void fail(const Location& where, std::string_view problem) {
    const std::string path = where.text();
    throw DecodingFailure{path.empty() ? std::string(problem) : path + ": " + std::string(problem)};
}

std::string_view kindOf(const json& value) {
    switch (value.type()) {
        case json::value_t::null: return "null";
        case json::value_t::boolean: return "a boolean";
        case json::value_t::string: return "a string";
        case json::value_t::array: return "an array";
        case json::value_t::object: return "an object";
        case json::value_t::number_float: return "a floating-point number";
        default: return "a number";
    }
}

[[noreturn]] void failType(const Location& where, std::string_view expected, const json& found) {
    fail(where, "expected " + std::string(expected) + ", found " + std::string(kindOf(found)));
}

template <class T>
struct As {};

std::string read(const json& value, const Location& where, As<std::string>) {
    if (!value.is_string()) failType(where, "a string", value);
    return value.get_ref<const std::string&>();
}

std::int64_t read(const json& value, const Location& where, As<std::int64_t>) {
    if (!value.is_number_integer()) failType(where, "an integer", value);
    const std::optional<std::int64_t> number = platform::int64Value(value);
    if (!number) fail(where, "integer out of range");
    return *number;
}

bool read(const json& value, const Location& where, As<bool>) {
    if (!value.is_boolean()) failType(where, "a boolean", value);
    return value.get<bool>();
}

template <class T>
std::vector<T> read(const json& value, const Location& where, As<std::vector<T>>) {
    if (!value.is_array()) failType(where, "an array", value);
    std::vector<T> elements;
    elements.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) elements.push_back(read(value[i], Location{&where, {}, i}, As<T>{}));
    return elements;
}

/// The members of one JSON object; keys it is not asked for are ignored.
class Fields {
public:
    Fields(const json& object, const Location& where) : object_(object), where_(where) {
        if (!object.is_object()) failType(where, "an object", object);
    }

    /// Absent when the key is missing or null.
    template <class T>
    std::optional<T> optional(std::string_view key) const {
        const auto found = object_.find(key);
        if (found == object_.end() || found->is_null()) return std::nullopt;
        return read(*found, Location{&where_, key, {}}, As<T>{});
    }

    template <class T>
    T required(std::string_view key) const {
        const Location where{&where_, key, {}};
        const auto found = object_.find(key);
        if (found == object_.end()) fail(where, "missing");
        return read(*found, where, As<T>{});
    }

private:
    const json& object_;
    const Location& where_;
};

ConfluenceUser read(const json& value, const Location& where, As<ConfluenceUser>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("accountId"), fields.optional<std::string>("displayName"),
            fields.optional<std::string>("email"), fields.optional<std::string>("publicName")};
}

Space read(const json& value, const Location& where, As<Space>) {
    const Fields fields(value, where);
    return {fields.required<std::string>("id"),         fields.required<std::string>("key"),
            fields.optional<std::string>("name"),       fields.optional<std::string>("type"),
            fields.optional<std::string>("status"),     fields.optional<std::string>("homepageId")};
}

PageVersion read(const json& value, const Location& where, As<PageVersion>) {
    const Fields fields(value, where);
    return {fields.optional<std::int64_t>("number"), fields.optional<std::string>("message"),
            fields.optional<std::string>("createdAt"), fields.optional<std::string>("authorId"),
            fields.optional<bool>("minorEdit")};
}

BodyValue read(const json& value, const Location& where, As<BodyValue>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("value"), fields.optional<std::string>("representation")};
}

PageBody read(const json& value, const Location& where, As<PageBody>) {
    const Fields fields(value, where);
    return {fields.optional<BodyValue>("storage"), fields.optional<BodyValue>("view"),
            fields.optional<BodyValue>("atlas_doc_format")};
}

Links read(const json& value, const Location& where, As<Links>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("webui"), fields.optional<std::string>("editui"),
            fields.optional<std::string>("tinyui"), fields.optional<std::string>("base"),
            fields.optional<std::string>("next")};
}

Page read(const json& value, const Location& where, As<Page>) {
    const Fields fields(value, where);
    return {fields.required<std::string>("id"),       fields.optional<std::string>("status"),
            fields.optional<std::string>("title"),    fields.optional<std::string>("spaceId"),
            fields.optional<std::string>("parentId"), fields.optional<std::string>("authorId"),
            fields.optional<std::string>("createdAt"), fields.optional<PageVersion>("version"),
            fields.optional<PageBody>("body"),        fields.optional<Links>("_links")};
}

template <class T>
MultiResult<T> read(const json& value, const Location& where, As<MultiResult<T>>) {
    const Fields fields(value, where);
    return {fields.required<std::vector<T>>("results"), fields.optional<Links>("_links")};
}

SearchContent read(const json& value, const Location& where, As<SearchContent>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("id"), fields.optional<std::string>("type"),
            fields.optional<std::string>("status"), fields.optional<std::string>("title")};
}

SearchContainer read(const json& value, const Location& where, As<SearchContainer>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("title"), fields.optional<std::string>("displayUrl")};
}

SearchResult read(const json& value, const Location& where, As<SearchResult>) {
    const Fields fields(value, where);
    return {fields.optional<std::string>("title"),        fields.optional<std::string>("excerpt"),
            fields.optional<std::string>("url"),          fields.optional<std::string>("lastModified"),
            fields.optional<SearchContent>("content"),    fields.optional<SearchContainer>("resultGlobalContainer")};
}

SearchResponse read(const json& value, const Location& where, As<SearchResponse>) {
    const Fields fields(value, where);
    return {fields.required<std::vector<SearchResult>>("results"), fields.optional<std::int64_t>("totalSize")};
}

/// The parser's own message without the library's "[json.exception...] " tag.
std::string parserMessage(const json::exception& error) {
    const std::string_view message = error.what();
    const std::size_t tagEnd = message.find("] ");
    return std::string(tagEnd == std::string_view::npos ? message : message.substr(tagEnd + 2));
}

}  // namespace

template <class T>
std::expected<T, std::string> decodeRecord(std::string_view text) {
    try {
        const json document = json::parse(text);
        return read(document, Location{}, As<T>{});
    } catch (const json::exception& error) {
        // why: besides syntax errors the parser throws out_of_range for numbers beyond a double.
        return std::unexpected(parserMessage(error));
    } catch (const DecodingFailure& failure) {
        return std::unexpected(failure.message);
    }
}

template std::expected<ConfluenceUser, std::string> decodeRecord<ConfluenceUser>(std::string_view);
template std::expected<Space, std::string> decodeRecord<Space>(std::string_view);
template std::expected<Page, std::string> decodeRecord<Page>(std::string_view);
template std::expected<MultiResult<Space>, std::string> decodeRecord<MultiResult<Space>>(std::string_view);
template std::expected<MultiResult<Page>, std::string> decodeRecord<MultiResult<Page>>(std::string_view);
template std::expected<SearchResponse, std::string> decodeRecord<SearchResponse>(std::string_view);

}  // namespace folioport
