#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "confluence/ConfDate.h"

// why: glibc's newlocale leaks its parsed copy of LOCPATH on every call, and only the test below sets it.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace folioport {
namespace {

using namespace std::chrono;
using ConfDate::TimePoint;

/// Sets (or, with nullptr, unsets) one environment variable for the scope of a test.
struct ScopedVariable {
    const char* name;
    std::optional<std::string> old;
    ScopedVariable(const char* n, const char* value) : name(n) {
        if (const char* previous = std::getenv(n)) old = previous;
        value ? setenv(n, value, 1) : unsetenv(n);
        tzset();
    }
    ~ScopedVariable() {
        old ? setenv(name, old->c_str(), 1) : unsetenv(name);
        tzset();
    }
};

TimePoint utc(year_month_day day, nanoseconds time = {}) { return sys_days{day} + time; }

TEST(ConfDateParse, AcceptsTheKnownFormsInOrder) {
    const ScopedVariable zone("TZ", "Europe/Berlin");
    const std::pair<const char*, TimePoint> rows[] = {
        {"2024-05-01T10:20:30.123Z", utc(2024y / May / 1, 10h + 20min + 30s + 123ms)},
        {"2024-05-01T10:20:30.5Z", utc(2024y / May / 1, 10h + 20min + 30s + 500ms)},
        {"2024-05-01T10:20:30Z", utc(2024y / May / 1, 10h + 20min + 30s)},
        {"2024-05-01T10:20:30+02:00", utc(2024y / May / 1, 8h + 20min + 30s)},
        {"2024-05-01T10:20:30.250-05:30", utc(2024y / May / 1, 15h + 50min + 30s + 250ms)},
        {"2024-05-01T10:20:30.123+0200", utc(2024y / May / 1, 8h + 20min + 30s + 123ms)},
        {"2024-05-01", utc(2024y / April / 30, 22h)},  // local midnight in Berlin (summer time)
        {"2024-01-01", utc(2023y / December / 31, 23h)},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ConfDate::parse(text), expected) << text;
}

TEST(ConfDateParse, RejectsEverythingElse) {
    const char* const rows[] = {
        "", "yesterday", "01/05/2024", "2024-02-30", "2024-05-01T24:00:00Z", "2024-05-01T10:20:30",
        "2024-05-01 10:20:30Z", "2024-05-01T10:20:30.Z", "2024-05-01T10:20:30.12+0200", "2024-05-01T10:20:30+02",
        "2024-05-01T10:20:30Z ", "24-05-01",
        "9999-12-31T23:59:59Z",  // beyond what the clock can hold
    };
    for (const char* text : rows) EXPECT_EQ(ConfDate::parse(text), std::nullopt) << text;
    EXPECT_EQ(ConfDate::parse(std::nullopt), std::nullopt);
}

TEST(ConfDateParse, SkippedMidnightMovesToTheFirstLocalHour) {
    const ScopedVariable zone("TZ", "America/Santiago");
    EXPECT_EQ(ConfDate::parse("2024-09-08"), utc(2024y / September / 8, 4h));
}

TEST(RelativeDays, CountsCalendarDaysInTheLocalZone) {
    struct Row {
        const char *name, *zone, *date, *now, *expected;
    };
    const Row rows[] = {
        {"laterSameDay", "Europe/Berlin", "2024-05-01T23:55:00+02:00", "2024-05-01T00:05:00+02:00", "today"},
        {"minutesAcrossMidnight", "Europe/Berlin", "2024-04-30T23:59:00+02:00", "2024-05-01T00:01:00+02:00", "yesterday"},
        {"twoDaysAcrossLeapDay", "Europe/Berlin", "2024-02-28T12:00:00+01:00", "2024-03-01T09:00:00+01:00", "2 days ago"},
        {"nextDay", "Europe/Berlin", "2024-05-02T00:01:00+02:00", "2024-05-01T23:59:00+02:00", "tomorrow"},
        {"daysAhead", "Europe/Berlin", "2024-05-04T08:00:00+02:00", "2024-05-01T20:00:00+02:00", "in 3 days"},
        {"shortSpringDayIsOneDay", "Europe/Berlin", "2024-03-30T12:00:00+01:00", "2024-03-31T12:00:00+02:00", "yesterday"},
        {"springWeekendUnder48Hours", "Europe/Berlin", "2024-03-29T23:30:00+01:00", "2024-03-31T23:10:00+02:00", "2 days ago"},
        {"longAutumnDayIsOneDay", "America/New_York", "2024-11-03T00:30:00-04:00", "2024-11-03T23:50:00-05:00", "today"},
        {"autumnAheadOver48Hours", "America/New_York", "2024-11-04T23:30:00-05:00", "2024-11-02T23:00:00-04:00", "in 2 days"},
        {"dayBoundaryOfBerlin", "Europe/Berlin", "2024-05-01T21:30:00Z", "2024-05-01T23:00:00Z", "yesterday"},
        {"sameInstantsInNewYork", "America/New_York", "2024-05-01T21:30:00Z", "2024-05-01T23:00:00Z", "today"},
    };
    for (const auto& [name, zone, date, now, expected] : rows) {
        const ScopedVariable tz("TZ", zone);
        EXPECT_EQ(ConfDate::relativeDays(ConfDate::parse(date).value(), ConfDate::parse(now).value()), expected) << name;
    }
}

TEST(DayLabel, UsesTheLocalDayAndEnglishForAnUnknownLocale) {
    const ScopedVariable locale("LC_ALL", "xx_YY.UTF-8");
    const TimePoint lateEvening = utc(2024y / March / 4, 23h + 30min);
    {
        const ScopedVariable zone("TZ", "Europe/Berlin");
        EXPECT_EQ(ConfDate::dayLabel(lateEvening), "05 March 2024");
    }
    const ScopedVariable zone("TZ", "America/New_York");
    EXPECT_EQ(ConfDate::dayLabel(lateEvening), "04 March 2024");
}

/// German locales compiled into a private folder that LOCPATH points at, or empty when this
/// machine has no locale sources.
std::filesystem::path compileGermanLocales() {
    char pattern[] = "/tmp/folioport-locales-XXXXXX";
    if (!mkdtemp(pattern)) return {};
    const std::filesystem::path folder = pattern;
    for (const char* charset : {"UTF-8", "ISO-8859-1"}) {
        const std::string command = "localedef -i de_DE -f " + std::string(charset) + " '" + (folder / "de_DE.").string() +
                                    charset + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            std::filesystem::remove_all(folder);
            return {};
        }
    }
    return folder;
}

TEST(DayLabel, MonthNamesFollowTheUserLocale) {
    const std::filesystem::path locales = compileGermanLocales();
    if (locales.empty()) GTEST_SKIP() << "localedef or the de_DE locale source is not installed";
    const ScopedVariable path("LOCPATH", locales.c_str());
    const ScopedVariable zone("TZ", "Europe/Berlin");
    const TimePoint date = utc(2024y / March / 5, 12h);

    struct Environment {
        const char *lcAll, *lcTime, *lang;
    };
    const Environment environments[] = {
        {"de_DE.UTF-8", nullptr, nullptr},
        {nullptr, "de_DE.UTF-8", "C.UTF-8"},
        {nullptr, nullptr, "de_DE.UTF-8"},
        {nullptr, nullptr, "de_DE.ISO-8859-1"},  // the label stays UTF-8
    };
    for (const auto& [lcAll, lcTime, lang] : environments) {
        const ScopedVariable all("LC_ALL", lcAll);
        const ScopedVariable time("LC_TIME", lcTime);
        const ScopedVariable language("LANG", lang);
        EXPECT_EQ(ConfDate::dayLabel(date), "05 M\u00E4rz 2024") << (lcAll ? lcAll : lcTime ? lcTime : lang);
    }
    std::filesystem::remove_all(locales);
}

}  // namespace
}  // namespace folioport
