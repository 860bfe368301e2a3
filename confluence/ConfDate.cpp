#include "confluence/ConfDate.h"

#include <array>
#include <ctime>
#include <cwchar>
#include <locale.h>
#include <memory>
#include <type_traits>

#include "storage/Utf8.h"

namespace folioport::ConfDate {

namespace {

using namespace std::chrono;

/// Reads a date text from left to right; every read either consumes what it wants or fails.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool literal(char c) {
        if (position_ >= text_.size() || text_[position_] != c) return false;
        ++position_;
        return true;
    }

    /// Exactly `count` ASCII digits as a number.
    std::optional<int> digits(std::size_t count) {
        if (text_.size() - position_ < count) return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = text_[position_ + i];
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        position_ += count;
        return value;
    }

    /// One or more ASCII digits read as a fraction of a second (beyond nanoseconds ignored).
    std::optional<nanoseconds> fraction(std::size_t minimum, std::size_t maximum) {
        std::int64_t value = 0;
        std::int64_t scale = 1'000'000'000;
        std::size_t count = 0;
        while (count < maximum && position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
            if (scale > 1) {
                scale /= 10;
                value += (text_[position_] - '0') * scale;
            }
            ++position_;
            ++count;
        }
        if (count < minimum) return std::nullopt;
        return nanoseconds{value};
    }

    bool atEnd() const { return position_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

std::optional<year_month_day> readDate(Cursor& cursor) {
    const auto year = cursor.digits(4);
    if (!year || !cursor.literal('-')) return std::nullopt;
    const auto month = cursor.digits(2);
    if (!month || !cursor.literal('-')) return std::nullopt;
    const auto day = cursor.digits(2);
    if (!day) return std::nullopt;
    const year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                              std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) return std::nullopt;
    return date;
}

std::optional<seconds> readTime(Cursor& cursor) {
    const auto hour = cursor.digits(2);
    if (!hour || *hour > 23 || !cursor.literal(':')) return std::nullopt;
    const auto minute = cursor.digits(2);
    if (!minute || *minute > 59 || !cursor.literal(':')) return std::nullopt;
    const auto second = cursor.digits(2);
    if (!second || *second > 59) return std::nullopt;
    return hours{*hour} + minutes{*minute} + seconds{*second};
}

enum class Fraction { none, required, milliseconds };
/// extended: "Z" or "±hh:mm" (RFC 3339); basic: "±hhmm".
enum class Offset { extended, basic };

/// The offset east of UTC.
std::optional<seconds> readOffset(Cursor& cursor, Offset style) {
    if (style == Offset::extended && cursor.literal('Z')) return seconds{0};
    int sign = 1;
    if (cursor.literal('-')) {
        sign = -1;
    } else if (!cursor.literal('+')) {
        return std::nullopt;
    }
    const auto hour = cursor.digits(2);
    if (!hour || *hour > 23 || (style == Offset::extended && !cursor.literal(':'))) return std::nullopt;
    const auto minute = cursor.digits(2);
    if (!minute || *minute > 59) return std::nullopt;
    return sign * (hours{*hour} + minutes{*minute});
}

/// A UTC instant as a system_clock time point, absent when the clock cannot hold it.
std::optional<TimePoint> toTimePoint(sys_seconds instant, nanoseconds fraction) {
    constexpr auto earliest = ceil<seconds>(TimePoint::min());
    constexpr auto latest = floor<seconds>(TimePoint::max()) - seconds{1};
    if (instant < earliest || instant > latest) return std::nullopt;
    return time_point_cast<TimePoint::duration>(instant) + duration_cast<TimePoint::duration>(fraction);
}

std::optional<TimePoint> parseDateTime(std::string_view text, Fraction fractionStyle, Offset offsetStyle) {
    Cursor cursor(text);
    const auto date = readDate(cursor);
    if (!date || !cursor.literal('T')) return std::nullopt;
    const auto time = readTime(cursor);
    if (!time) return std::nullopt;
    std::optional<nanoseconds> fraction = nanoseconds{0};
    if (fractionStyle != Fraction::none) {
        const bool millis = fractionStyle == Fraction::milliseconds;
        fraction = cursor.literal('.') ? cursor.fraction(millis ? 3 : 1, millis ? 3 : std::string_view::npos) : std::nullopt;
    }
    const auto offset = fraction ? readOffset(cursor, offsetStyle) : std::nullopt;
    if (!offset || !cursor.atEnd()) return std::nullopt;
    return toTimePoint(sys_days{*date} + *time - *offset, *fraction);
}

std::optional<TimePoint> parseLocalMidnight(std::string_view text) {
    Cursor cursor(text);
    const auto date = readDate(cursor);
    if (!date || !cursor.atEnd()) return std::nullopt;
    std::tm fields{};
    fields.tm_year = static_cast<int>(date->year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(date->month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(date->day()));
    fields.tm_isdst = -1;  // let the time zone decide whether daylight saving applies
    const std::time_t instant = std::mktime(&fields);
    if (instant == -1) return std::nullopt;
    return toTimePoint(sys_seconds{seconds{instant}}, nanoseconds{0});
}

/// The broken-down local time of a time point, absent when the platform cannot tell.
std::optional<std::tm> localFields(TimePoint date) {
    const std::time_t instant = floor<seconds>(date).time_since_epoch().count();
    std::tm fields{};
    tzset();  // why: unlike mktime, localtime_r does not notice a changed TZ by itself
    if (!localtime_r(&instant, &fields)) return std::nullopt;
    return fields;
}

struct LocaleDeleter {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using UniqueLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

/// The user's LC_TIME locale as the environment sets it now, or the C locale when it is not installed.
UniqueLocale userTimeLocale() {
    if (locale_t user = newlocale(LC_TIME_MASK, "", locale_t{})) return UniqueLocale(user);
    return UniqueLocale(newlocale(LC_TIME_MASK, "C", locale_t{}));
}

}  // namespace

std::optional<TimePoint> parse(std::optional<std::string_view> text) {
    if (!text || text->empty()) return std::nullopt;
    constexpr std::array<std::pair<Fraction, Offset>, 4> dateTimeForms{{
        {Fraction::required, Offset::extended},
        {Fraction::none, Offset::extended},
        {Fraction::milliseconds, Offset::basic},
        {Fraction::none, Offset::basic},
    }};
    for (const auto& [fraction, offset] : dateTimeForms) {
        if (const auto date = parseDateTime(*text, fraction, offset)) return date;
    }
    return parseLocalMidnight(*text);
}

std::string dayLabel(TimePoint date) {
    const auto fields = localFields(date);
    const UniqueLocale locale = userTimeLocale();
    std::array<wchar_t, 128> wide{};
    // why: the wide form yields code points whatever the locale's byte encoding, so the label is
    // always UTF-8 even under a Latin-1 locale.
    const std::size_t length =
        fields && locale ? wcsftime_l(wide.data(), wide.size(), L"%d %B %Y", &*fields, locale.get()) : 0;
    std::string label;
    for (std::size_t i = 0; i < length; ++i) Utf8::append(label, static_cast<char32_t>(wide[i]));
    return label;
}

std::string relativeDays(TimePoint date, TimePoint now) {
    const auto dayOf = [](TimePoint point) -> std::optional<sys_days> {
        const auto fields = localFields(point);
        if (!fields) return std::nullopt;
        return sys_days{std::chrono::year{fields->tm_year + 1900} / (fields->tm_mon + 1) / fields->tm_mday};
    };
    const auto from = dayOf(date);
    const auto to = dayOf(now);
    const long long days = from && to ? (*to - *from).count() : 0;
    if (days == 0) return "today";
    if (days == 1) return "yesterday";
    if (days == -1) return "tomorrow";
    if (days > 1) return std::to_string(days) + " days ago";
    return "in " + std::to_string(-days) + " days";
}

}  // namespace folioport::ConfDate
