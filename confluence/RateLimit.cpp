#include "confluence/RateLimit.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

#include "storage/Utf8.h"

namespace folioport {
namespace {

constexpr std::size_t longestValue = 64;

/// The decimal number `digits` spell (no sign, no blanks); absent for anything else or beyond T.
template <class T = int>
std::optional<T> number(std::string_view digits) {
    T value = 0;
    if (digits.empty() || !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

/// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form HTTP senders must use.
std::optional<std::chrono::sys_seconds> imfFixdate(std::string_view text) {
    static constexpr std::array<std::string_view, 7> weekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<std::string_view, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
        text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT")
        return std::nullopt;
    if (std::ranges::find(weekdays, text.substr(0, 3)) == weekdays.end()) return std::nullopt;
    const auto month = std::ranges::find(months, text.substr(8, 3));
    const auto day = number(text.substr(5, 2)), year = number(text.substr(12, 4));
    const auto hour = number(text.substr(17, 2)), minute = number(text.substr(20, 2));
    const auto second = number(text.substr(23, 2));
    if (month == months.end() || !day || !year || !hour || !minute || !second || *hour > 23 || *minute > 59 ||
        *second > 60)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{*year},
                                           std::chrono::month{static_cast<unsigned>(month - months.begin() + 1)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days{date} + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second);
}

}  // namespace

std::optional<std::chrono::seconds> retryAfterDelay(std::string_view value, std::chrono::system_clock::time_point now) {
    if (value.size() > longestValue) return std::nullopt;
    value = Utf8::trim(value, Utf8::isSpaceOrTab);
    if (const auto seconds = number<std::int64_t>(value)) return std::chrono::seconds(*seconds);
    const auto date = imfFixdate(value);
    if (!date) return std::nullopt;
    // why: in seconds, as the date is; the clock's nanoseconds hold dates only up to the year 2262, and a later
    // one would wrap round into the past. A whole-second date minus the floored now is the wait rounded up.
    const std::chrono::sys_seconds wholeNow = std::chrono::floor<std::chrono::seconds>(now);
    if (*date <= wholeNow) return std::chrono::seconds(0);
    return *date - wholeNow;
}

}  // namespace folioport
