#include "common/LocalTime.h"

#include <inttypes.h>

#include "common/FormatText.h"

namespace {

const int64_t kMicrosPerDay = 86400LL * 1000000;
const int kMaxOffsetMinutes = 18 * 60;   // ISO 8601's bound; real zones stay within -12 and +14

struct Civil {
    int64_t year;
    int month, day, hour, minute, second, millis;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the
// algorithms of H. Hinnant's "chrono-Compatible Low-Level Date Algorithms").
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Civil CivilOf(const WallTime& time)
{
    int64_t local = time.utcMicros + static_cast<int64_t>(time.offsetMinutes) * 60000000;
    int64_t days = local / kMicrosPerDay;
    int64_t inDay = local % kMicrosPerDay;
    if (inDay < 0) {   // before 1970: the day begins earlier
        inDay += kMicrosPerDay;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    Civil civil;
    civil.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    civil.month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    civil.year = yearOfEra + era * 400 + (civil.month <= 2);
    const int64_t millis = inDay / 1000;
    civil.hour = static_cast<int>(millis / 3600000);
    civil.minute = static_cast<int>(millis / 60000 % 60);
    civil.second = static_cast<int>(millis / 1000 % 60);
    civil.millis = static_cast<int>(millis % 1000);
    return civil;
}

std::string FormatCivil(const WallTime& time, char separator)
{
    Civil c = CivilOf(time);
    if (c.year < 0 || c.year > 9999)
        return FormatText("%04" PRId64 "-%02d-%02d%c%02d:%02d:%02d.%03d", c.year, c.month, c.day, separator, c.hour,
                          c.minute, c.second, c.millis);
    // Written by hand: an export formats one of these a row.
    std::string text;
    text.reserve(24);
    AppendDecimal(&text, static_cast<unsigned long long>(c.year), 4);
    text += '-';
    AppendDecimal(&text, static_cast<unsigned>(c.month), 2);
    text += '-';
    AppendDecimal(&text, static_cast<unsigned>(c.day), 2);
    text += separator;
    AppendDecimal(&text, static_cast<unsigned>(c.hour), 2);
    text += ':';
    AppendDecimal(&text, static_cast<unsigned>(c.minute), 2);
    text += ':';
    AppendDecimal(&text, static_cast<unsigned>(c.second), 2);
    text += '.';
    AppendDecimal(&text, static_cast<unsigned>(c.millis), 3);
    return text;
}

// Exactly count digits at text[*at]; false when there are not.
bool Digits(const std::string& text, size_t* at, size_t count, int* value)
{
    int result = 0;
    for (size_t i = 0; i < count; ++i, ++*at) {
        if (*at >= text.size() || text[*at] < '0' || text[*at] > '9')
            return false;
        result = result * 10 + (text[*at] - '0');
    }
    *value = result;
    return true;
}

bool Char(const std::string& text, size_t* at, char c)
{
    if (*at >= text.size() || text[*at] != c)
        return false;
    ++*at;
    return true;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

std::string FormatLocalTime(const WallTime& time)
{
    return FormatCivil(time, 'T') + FormatUtcOffset(time.offsetMinutes);
}

std::string FormatSpreadsheetTime(const WallTime& time)
{
    return FormatCivil(time, ' ');
}

std::string FormatUtcOffset(int offsetMinutes)
{
    int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return FormatText("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

bool ParseLocalTime(const std::string& text, WallTime* time)
{
    size_t at = 0;
    int year, month, day, hour, minute, second;
    if (!Digits(text, &at, 4, &year) || !Char(text, &at, '-') || !Digits(text, &at, 2, &month) ||
        !Char(text, &at, '-') || !Digits(text, &at, 2, &day) || !Char(text, &at, 'T') ||
        !Digits(text, &at, 2, &hour) || !Char(text, &at, ':') || !Digits(text, &at, 2, &minute) ||
        !Char(text, &at, ':') || !Digits(text, &at, 2, &second))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59)
        return false;
    int64_t micros = 0;
    if (Char(text, &at, '.')) {
        int64_t scale = 1000000;
        int digit;
        size_t first = at;
        while (at < text.size() && at - first < 6 && Digits(text, &at, 1, &digit))
            micros += digit * (scale /= 10);
        if (at == first)
            return false;
    }
    int offset = 0;
    if (!Char(text, &at, 'Z')) {
        if (at >= text.size() || (text[at] != '+' && text[at] != '-'))
            return false;
        int sign = text[at++] == '-' ? -1 : 1;
        int offsetHours, offsetMinutes;
        if (!Digits(text, &at, 2, &offsetHours) || !Char(text, &at, ':') || !Digits(text, &at, 2, &offsetMinutes) ||
            offsetMinutes > 59)
            return false;
        offset = sign * (offsetHours * 60 + offsetMinutes);
        if (offset > kMaxOffsetMinutes || offset < -kMaxOffsetMinutes)
            return false;
    }
    if (at != text.size())
        return false;
    int64_t localMicros = DaysFromCivil(year, month, day) * kMicrosPerDay +
                          ((hour * 60LL + minute) * 60 + second) * 1000000 + micros;
    time->utcMicros = localMicros - offset * 60000000LL;
    time->offsetMinutes = offset;
    return true;
}
