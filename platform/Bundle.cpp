#include "platform/Bundle.h"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/Posix.h"

namespace folioport::platform::Bundle {
namespace {

constexpr std::uintmax_t largestInfoPlist = 1 << 20;

std::filesystem::path infoPlist(const std::filesystem::path& bundle) {
    return bundle / "Contents" / "Info.plist";
}

std::optional<std::filesystem::path> containing(const std::filesystem::path& executable) {
    std::error_code error;
    for (auto folder = executable.parent_path(); folder.has_relative_path(); folder = folder.parent_path()) {
        if (folder.extension() == ".app" && std::filesystem::is_regular_file(infoPlist(folder), error)) return folder;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> location() { return containing(runningExecutable()); }

std::optional<std::string> readInfoString(const std::filesystem::path& plist, std::string_view key) {
    std::error_code error;
    const auto size = std::filesystem::file_size(plist, error);
    if (error || size > largestInfoPlist) return std::nullopt;
    std::ifstream file(plist, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.empty()) return std::nullopt;

    plist_t root = nullptr;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    if (plist_is_binary(bytes.data(), length)) plist_from_bin(bytes.data(), length, &root);
    else plist_from_xml(bytes.data(), length, &root);
    if (!root) return std::nullopt;
    const std::unique_ptr<void, decltype(&plist_free)> owner(root, &plist_free);

    if (plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
    const plist_t node = plist_dict_get_item(root, std::string(key).c_str());
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (!value) return std::nullopt;
    std::string text(value);
    std::free(value);
    return text;
}

std::optional<std::string> infoString(std::string_view key) {
    const auto bundle = location();
    if (!bundle) return std::nullopt;
    return readInfoString(infoPlist(*bundle), key);
}

}  // namespace folioport::platform::Bundle
