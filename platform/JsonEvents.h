#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace folioport::platform {

/// The parser events of nlohmann::json::sax_parse turned into three calls of `Builder`: place(value) for a
/// plain value, open(empty container) and close(). Builders that keep only part of a document derive from
/// it and add key(), number_float() and parse_error().
template <class Builder>
class JsonEvents {
public:
    using json = nlohmann::json;

    bool null() { return self().place(json(nullptr)); }
    bool boolean(bool value) { return self().place(json(value)); }
    bool number_integer(json::number_integer_t value) { return self().place(json(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return self().place(json(value)); }
    bool string(std::string& value) { return self().place(json(std::move(value))); }
    bool binary(json::binary_t&) { return true; }
    bool start_object(std::size_t) { return self().open(json::object()); }
    bool start_array(std::size_t) { return self().open(json::array()); }
    bool end_object() { return self().close(); }
    bool end_array() { return self().close(); }

private:
    Builder& self() { return static_cast<Builder&>(*this); }
};

}  // namespace folioport::platform
