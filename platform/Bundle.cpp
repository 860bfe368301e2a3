#include "platform/Bundle.h"

#include <dlfcn.h>
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

/// libplist's functions, from the library opened on first use. why: only reading a property list needs it, so
/// a process that reads none (`--mcp` outside a bundle) never loads it.
struct PlistFunctions {
    decltype(&plist_is_binary) isBinary = nullptr;
    decltype(&plist_from_bin) fromBinary = nullptr;
    decltype(&plist_from_xml) fromXml = nullptr;
    decltype(&plist_free) release = nullptr;
    decltype(&plist_get_node_type) nodeType = nullptr;
    decltype(&plist_dict_get_item) dictionaryItem = nullptr;
    decltype(&plist_get_string_val) stringValue = nullptr;
};

constexpr const char* plistLibraryFile = "libplist-2.0.so.3";

/// The functions, or absent when the library cannot be opened; a bundle's own copy (Contents/lib) comes first.
const std::optional<PlistFunctions>& plistLibrary() {
    static const std::optional<PlistFunctions> opened = []() -> std::optional<PlistFunctions> {
        const std::filesystem::path bundled = runningExecutable().parent_path().parent_path() / "lib" / plistLibraryFile;
        void* library = ::dlopen(bundled.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!library) library = ::dlopen(plistLibraryFile, RTLD_LAZY | RTLD_LOCAL);
        if (!library) return std::nullopt;
        PlistFunctions functions;
        const auto find = [library]<class Function>(Function& function, const char* name) {
            function = reinterpret_cast<Function>(::dlsym(library, name));
            return function != nullptr;
        };
        if (!find(functions.isBinary, "plist_is_binary") || !find(functions.fromBinary, "plist_from_bin") ||
            !find(functions.fromXml, "plist_from_xml") || !find(functions.release, "plist_free") ||
            !find(functions.nodeType, "plist_get_node_type") || !find(functions.dictionaryItem, "plist_dict_get_item") ||
            !find(functions.stringValue, "plist_get_string_val"))
            return std::nullopt;
        return functions;
    }();
    return opened;
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
    if (bytes.empty() || !plistLibrary()) return std::nullopt;
    const PlistFunctions& library = *plistLibrary();

    plist_t root = nullptr;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    if (library.isBinary(bytes.data(), length)) library.fromBinary(bytes.data(), length, &root);
    else library.fromXml(bytes.data(), length, &root);
    if (!root) return std::nullopt;
    const std::unique_ptr<void, decltype(&plist_free)> owner(root, library.release);

    if (library.nodeType(root) != PLIST_DICT) return std::nullopt;
    const plist_t node = library.dictionaryItem(root, std::string(key).c_str());
    if (!node || library.nodeType(node) != PLIST_STRING) return std::nullopt;
    char* value = nullptr;
    library.stringValue(node, &value);
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
