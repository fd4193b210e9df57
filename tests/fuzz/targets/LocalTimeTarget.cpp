// Local times as velkctl writes and reads them: what parses writes back
// (milliseconds cut) to a time that parses to the same instant and offset,
// and a canonical text writes back to itself.
#include "tests/fuzz/FuzzTargets.h"

#include "common/LocalTime.h"

void FuzzLocalTime(const uint8_t* data, size_t size)
{
    const std::string text = FuzzText(data, size);
    WallTime time = { 111, 22 };
    if (!ParseLocalTime(text, &time)) {
        FUZZ_CHECK(time.utcMicros == 111 && time.offsetMinutes == 22);
        return;
    }
    FUZZ_CHECK(time.offsetMinutes >= -18 * 60 && time.offsetMinutes <= 18 * 60);
    const std::string written = FormatLocalTime(time);
    WallTime again = {};
    FUZZ_CHECK(ParseLocalTime(written, &again));
    FUZZ_CHECK(again.offsetMinutes == time.offsetMinutes);
    int64_t subMillis = ((time.utcMicros % 1000) + 1000) % 1000;
    FUZZ_CHECK(again.utcMicros == time.utcMicros - subMillis);
    FUZZ_CHECK(FormatLocalTime(again) == written);
    // "2026-12-08T20:25:40.150+08:00": the same text, but for -00:00, written +00:00.
    if (text.size() == 29 && text[19] == '.' && text.compare(23, 6, "-00:00") != 0)
        FUZZ_CHECK(written == text);
    // The spreadsheet's form is the same local time.
    FUZZ_CHECK(FormatSpreadsheetTime(time) == written.substr(0, 10) + " " + written.substr(11, 12));
    FUZZ_CHECK(FormatUtcOffset(time.offsetMinutes) == written.substr(23));
}
