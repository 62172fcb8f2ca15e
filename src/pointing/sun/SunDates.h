// Calendar dates and minutes of the day in Beijing time (UTC+8, no daylight saving), the clock
// every sun table of the program is written in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvast::pointing::sun {

struct LocalDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const LocalDate&, const LocalDate&) = default;
    friend auto operator<=>(const LocalDate&, const LocalDate&) = default;
};

// The years the sun tools accept: UTC as we know it, and not so far ahead that the calendar
// arithmetic or the astronomy stop making sense.
inline constexpr int kFirstYear = 1972;
inline constexpr int kLastYear = 2199;

inline constexpr double kBeijingOffsetSeconds = 8 * 3600;
inline constexpr int kMinutesPerDay = 24 * 60;

// A real calendar day (no 31 April, 29 February only in leap years) within the accepted years.
bool validDate(LocalDate date);
bool validYear(int year);

// Days since 1970-01-01 of a calendar date (proleptic Gregorian), and back.
long long daysFromCivil(LocalDate date);
LocalDate civilFromDays(long long days);

// Unix time of 00:00 Beijing time on `date`.
double beijingMidnight(LocalDate date);

// The Beijing calendar date at a Unix time.
LocalDate beijingDateOf(double utcSeconds);

// "YYYY-MM-DD".
std::string dateText(LocalDate date);

// "HH:MM" of a minute of the day (0..1439).
std::string minuteText(int minute);

// Reads exactly "YYYY-MM-DD" (four, two and two digits); nothing for any other text or for a
// date validDate refuses.
std::optional<LocalDate> parseDateText(std::string_view text);

} // namespace zorvast::pointing::sun
