#include "pointing/sun/SunDates.h"

#include <cmath>
#include <cstdio>

namespace zorvast::pointing::sun {

namespace {

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

bool validYear(int year) {
    return year >= kFirstYear && year <= kLastYear;
}

bool validDate(LocalDate date) {
    return validYear(date.year) && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= daysInMonth(date.year, date.month);
}

// Howard Hinnant's days_from_civil: eras of 400 years keep every step integral.
long long daysFromCivil(LocalDate date) {
    const long long y = date.year - (date.month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (date.month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + date.day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

LocalDate civilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

double beijingMidnight(LocalDate date) {
    return static_cast<double>(daysFromCivil(date)) * 86400.0 - kBeijingOffsetSeconds;
}

LocalDate beijingDateOf(double utcSeconds) {
    const double days = std::floor((utcSeconds + kBeijingOffsetSeconds) / 86400.0);
    return civilFromDays(static_cast<long long>(days));
}

std::string dateText(LocalDate date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string minuteText(int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minute / 60, minute % 60);
    return text;
}

std::optional<LocalDate> parseDateText(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto number = [&text](std::size_t from, std::size_t count) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const std::optional<int> year = number(0, 4);
    const std::optional<int> month = number(5, 2);
    const std::optional<int> day = number(8, 2);
    if (!year || !month || !day) {
        return std::nullopt;
    }
    const LocalDate date{*year, *month, *day};
    if (!validDate(date)) {
        return std::nullopt;
    }
    return date;
}

} // namespace zorvast::pointing::sun
