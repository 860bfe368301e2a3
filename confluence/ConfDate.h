#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Dates of the site's records: parsed when shown, worded in the user's locale and time zone
// (LC_TIME/LANG and TZ, read afresh on every call).
namespace folioport::ConfDate {

using TimePoint = std::chrono::system_clock::time_point;

/// An RFC 3339 date-time (with or without fractional seconds; "Z" or "±hh:mm"), the same with a
/// "±hhmm" offset, or a bare "yyyy-MM-dd" (local midnight). Absent for anything else.
std::optional<TimePoint> parse(std::optional<std::string_view> text);

/// "dd MMMM yyyy" in the local time zone with the month named in the user's language, e.g. "05 March 2024".
std::string dayLabel(TimePoint date);

/// "today", "yesterday", "tomorrow", "N days ago" or "in N days": whole calendar days in the local
/// time zone between the day of `date` and the day of `now`.
std::string relativeDays(TimePoint date, TimePoint now);

}  // namespace folioport::ConfDate
