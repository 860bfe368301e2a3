#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace folioport::platform {

/// The stored string settings.
enum class StringPreference { baseURL, email, spaceKey, updateFeedURL, gatewayBaseURL };
/// The stored integer settings.
enum class IntegerPreference { pageLimit, refreshMinutes };
/// The stored boolean settings.
enum class BooleanPreference { autoUpdate, assistantsReadOnly };

/// The preferences file as read at one moment: typed reads that fall back to each key's default,
/// and writes that keep every key this program does not know.
class Preferences {
public:
    /// ${XDG_CONFIG_HOME:-~/.config}/com.tessaly.folioport/preferences.json, shared by both run modes.
    static std::filesystem::path defaultFile();

    /// The most a preferences file may hold; a real one holds a few hundred bytes.
    static constexpr std::size_t maxFileBytes = std::size_t{1} << 20;

    /// The file as read, and why it was not used when it exists but reads as empty.
    struct Reading;

    /// Reads the file; a missing, unreadable or corrupt file (or one that is not an object) reads as empty.
    /// Only a regular file up to maxFileBytes, nested at most 512 deep, is read, and opening never waits
    /// (a FIFO or device there is unreadable, not a reason to hang).
    static Reading inspect(const std::filesystem::path& file = defaultFile());
    /// inspect() without the reason.
    static Preferences read(const std::filesystem::path& file = defaultFile());

    /// What a key reads as when it is absent or of another type: a fresh installation's value.
    static std::string fallback(StringPreference key);
    static std::int64_t fallback(IntegerPreference key);
    static bool fallback(BooleanPreference key);

    /// The stored value, or the key's fallback when it is absent or of another type. The safety switch
    /// "assistantsReadOnly" is the exception: any value there but false, in any copy of the key, reads as true.
    std::string string(StringPreference key) const;
    std::int64_t integer(IntegerPreference key) const;
    bool boolean(BooleanPreference key) const;

    /// Changes the value in memory only; write() stores it. A key stored only while it differs from its
    /// fallback ("gatewayBaseURL", "assistantsReadOnly") is removed instead when set to the fallback.
    void set(StringPreference key, std::string value);
    void set(IntegerPreference key, std::int64_t value);
    void set(BooleanPreference key, bool value);

    /// Replaces the file atomically (temporary file in the same folder, fsync, rename), mode 0600,
    /// so a concurrent reader sees either the old or the new file, never a part of one. A symbolic
    /// link is written through: its final target is replaced and the link stays. Temporary files
    /// that a killed write left behind are removed.
    std::expected<void, std::string> write(const std::filesystem::path& file = defaultFile()) const;

private:
    nlohmann::json values_ = nlohmann::json::object();
    std::vector<std::string_view> heldOn_;  // safety switches some copy of which in the file is not false
};

struct Preferences::Reading {
    Preferences preferences;
    std::optional<std::string> problem;  ///< why an existing file reads as empty, as "<file> is …"
    std::vector<std::string> doubts;     ///< values read otherwise than they stand, as "<file> holds …"
};

}  // namespace folioport::platform
