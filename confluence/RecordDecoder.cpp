#include "confluence/RecordDecoder.h"

#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/JsonEvents.h"
#include "platform/JsonInteger.h"
#include "platform/JsonText.h"

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

TenantInfo read(const json& value, const Location& where, As<TenantInfo>) {
    return {Fields(value, where).optional<std::string>("cloudId")};
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

/// The parser's own message without the library's "[json.exception...] " tag.
std::string parserMessage(const json::exception& error) {
    const std::string_view message = error.what();
    const std::size_t tagEnd = message.find("] ");
    return std::string(tagEnd == std::string_view::npos ? message : message.substr(tagEnd + 2));
}

/// The member names some record reads; everything else in an answer is parsed but never kept.
bool isReadKey(std::string_view key) {
    static constexpr std::string_view keys[] = {
        "_links", "accountId", "atlas_doc_format", "authorId", "base", "body", "cloudId", "content", "createdAt",
        "displayName", "displayUrl", "editui", "email", "excerpt", "homepageId", "id", "key", "lastModified",
        "message", "minorEdit", "name", "next", "number", "parentId", "publicName", "representation",
        "resultGlobalContainer", "results", "spaceId", "status", "storage", "tinyui", "title", "totalSize", "type",
        "url", "value", "version", "view", "webui"};
    return std::ranges::find(keys, key) != std::end(keys);
}

/// Builds from parser events the part of an answer that records read, so memory follows what is kept
/// rather than what was sent: unread members are skipped, arrays other than the top-level "results" keep
/// no elements (no record field is one), and each element of "results" goes to `element` as soon as it
/// is complete and is dropped afterwards.
class KeptValueBuilder : public platform::JsonEvents<KeptValueBuilder> {
public:
    using ElementSink = std::function<void(json& element, std::size_t index)>;

    KeptValueBuilder(json& root, std::size_t maxDepth, ElementSink element)
        : root_(root), maxDepth_(maxDepth), element_(std::move(element)) {}

    bool number_float(json::number_float_t value, const std::string&) { return place(json(value)); }
    bool key(std::string& name) {
        if (skipping_ == 0) keptKey_ = isReadKey(name) ? std::optional(std::move(name)) : std::nullopt;
        return true;
    }
    template <class Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& error) {
        syntaxError_ = parserMessage(error);
        return false;
    }

    const std::optional<std::string>& syntaxError() const { return syntaxError_; }

private:
    friend JsonEvents<KeptValueBuilder>;

    struct Frame {
        json* container;
        bool streamsElements;  // the top-level "results" array
    };

    /// Where the next value goes, or null when it is not kept.
    json* slot() {
        if (skipping_ > 0) return nullptr;
        if (frames_.empty()) return &root_;
        json& container = *frames_.back().container;
        if (container.is_array()) return &container.emplace_back();
        if (!keptKey_) return nullptr;
        return &container[*keptKey_];
    }

    bool place(json value) {
        if (json* target = slot()) {
            *target = std::move(value);
            handOver();
        }
        return true;
    }

    bool open(json container) {
        if (++depth_ > maxDepth_)
            throw DecodingFailure{"the answer nests deeper than " + std::to_string(maxDepth_) + " levels"};
        const bool isArray = container.is_array();
        if (frames_.empty() && skipping_ == 0 && isArray) failType(Location{}, "an object", container);
        const bool isResults = isArray && frames_.size() == 1 && keptKey_ == "results";
        json* target = slot();
        if (!target) {
            ++skipping_;
            return true;
        }
        *target = std::move(container);
        if (isArray && !isResults) {  // kept as an empty array, so a type check still sees one
            handOver();
            ++skipping_;
            return true;
        }
        frames_.push_back({target, isResults && element_});
        return true;
    }

    bool close() {
        --depth_;
        if (skipping_ > 0) {
            --skipping_;
            return true;
        }
        frames_.pop_back();
        handOver();
        return true;
    }

    /// Hands a complete element of "results" to the sink and drops it.
    void handOver() {
        if (frames_.empty() || !frames_.back().streamsElements) return;
        json& results = *frames_.back().container;
        element_(results.back(), elements_++);
        results.erase(results.end() - 1);
    }

    json& root_;
    std::size_t maxDepth_;
    ElementSink element_;
    std::vector<Frame> frames_;
    std::optional<std::string> keptKey_;
    std::size_t skipping_ = 0;  // depth inside a value that is not kept
    std::size_t depth_ = 0;
    std::size_t elements_ = 0;
    std::optional<std::string> syntaxError_;
};

/// The element type of a list answer whose "results" are decoded one by one; void for single records.
template <class T>
struct ListedElement {
    using type = void;
};
template <class T>
struct ListedElement<MultiResult<T>> {
    using type = T;
};
template <>
struct ListedElement<SearchResponse> {
    using type = SearchResult;
};

}  // namespace

template <class T>
std::expected<T, std::string> decodeRecord(std::string_view text, const DecodeLimits& limits) {
    using Element = typename ListedElement<T>::type;
    try {
        const std::optional<std::string> repaired = platform::withLoneSurrogatesReplaced(text);
        json root;
        const Location top{};
        const Location resultsPlace{&top, "results", {}};
        [[maybe_unused]] std::vector<std::conditional_t<std::is_void_v<Element>, int, Element>> elements;
        KeptValueBuilder::ElementSink sink;
        if constexpr (!std::is_void_v<Element>) {
            sink = [&](json& element, std::size_t index) {
                if (index >= limits.maxRecords)
                    throw DecodingFailure{"the answer lists more than " + std::to_string(limits.maxRecords) +
                                          " records"};
                elements.push_back(read(element, Location{&resultsPlace, {}, index}, As<Element>{}));
            };
        }
        KeptValueBuilder builder(root, limits.maxDepth, std::move(sink));
        if (!json::sax_parse(repaired ? std::string_view(*repaired) : text, &builder))
            return std::unexpected(builder.syntaxError().value_or("the answer is no JSON"));
        if constexpr (std::is_void_v<Element>) {
            return read(root, top, As<T>{});
        } else {
            const Fields fields(root, top);
            (void)fields.required<std::vector<Element>>("results");  // an array, by now emptied into `elements`
            if constexpr (std::is_same_v<T, SearchResponse>)
                return SearchResponse{std::move(elements), fields.optional<std::int64_t>("totalSize")};
            else
                return T{std::move(elements), fields.optional<Links>("_links")};
        }
    } catch (const json::exception& error) {
        return std::unexpected(parserMessage(error));
    } catch (const DecodingFailure& failure) {
        return std::unexpected(failure.message);
    }
}

template std::expected<ConfluenceUser, std::string> decodeRecord<ConfluenceUser>(std::string_view, const DecodeLimits&);
template std::expected<TenantInfo, std::string> decodeRecord<TenantInfo>(std::string_view, const DecodeLimits&);
template std::expected<Space, std::string> decodeRecord<Space>(std::string_view, const DecodeLimits&);
template std::expected<Page, std::string> decodeRecord<Page>(std::string_view, const DecodeLimits&);
template std::expected<MultiResult<Space>, std::string> decodeRecord<MultiResult<Space>>(std::string_view, const DecodeLimits&);
template std::expected<MultiResult<Page>, std::string> decodeRecord<MultiResult<Page>>(std::string_view, const DecodeLimits&);
template std::expected<SearchResponse, std::string> decodeRecord<SearchResponse>(std::string_view, const DecodeLimits&);

}  // namespace folioport
