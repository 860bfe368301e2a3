#include "updater/UpdateManifest.h"

#include <nlohmann/json.hpp>

namespace folioport {

std::expected<UpdateManifest, std::string> decodeManifest(std::string_view json) {
    const auto document = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
    if (document.is_discarded()) return std::unexpected("The update feed is not valid JSON.");
    if (!document.is_object()) return std::unexpected("The update feed is not a JSON object.");

    std::string problem;  // the first one found, in member order
    auto optional = [&](const std::string& key) -> std::optional<std::string> {
        auto member = document.find(key);
        if (member == document.end() || member->is_null()) return std::nullopt;
        if (member->is_string()) return member->get<std::string>();
        if (problem.empty()) problem = "The update feed's \"" + key + "\" is not a string.";
        return std::nullopt;
    };
    auto required = [&](const std::string& key) {
        std::optional<std::string> value = optional(key);
        if (!value && problem.empty()) problem = "The update feed has no \"" + key + "\".";
        return value.value_or("");
    };
    // why: braced initialisation runs in order, so the problem reported is the first member's.
    UpdateManifest manifest{required("version"), optional("build"), optional("date"), required("url"),
                            optional("sha256"), optional("notes"), optional("minimumSystemVersion")};
    if (!problem.empty()) return std::unexpected(problem);
    return manifest;
}

std::string encodeManifest(const UpdateManifest& manifest) {
    nlohmann::json document = {{"version", manifest.version}, {"url", manifest.url}};
    const std::pair<const char*, const std::optional<std::string>&> optional[] = {
        {"build", manifest.build}, {"date", manifest.date}, {"sha256", manifest.sha256}, {"notes", manifest.notes},
        {"minimumSystemVersion", manifest.minimumSystemVersion}};
    for (const auto& [key, value] : optional) {
        if (value) document[key] = *value;
    }
    // why: text that is not UTF-8 is written in its place rather than throwing.
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace folioport
