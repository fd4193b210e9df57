#include "formats/RecordParts.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <utility>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "formats/Duration.h"
#include "formats/RecordLine.h"

namespace {

// Where the file's own name starts in path (after a '/' or '\').
size_t NameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

// Where the extension starts in the name [from, end): at its last dot, or
// the one before when that extension is ".gz"; end when there is none.
size_t ExtensionStart(const std::string& path, size_t from, size_t end)
{
    if (end == from)
        return end;
    const size_t dot = path.rfind('.', end - 1);
    if (dot == std::string::npos || dot <= from)
        return end;
    if (path.compare(dot, end - dot, ".gz") == 0) {
        const size_t before = ExtensionStart(path, from, dot);
        if (before != dot)
            return before;
    }
    return dot;
}

// The number in digits: four wide at least, no other leading zero; 0 otherwise.
unsigned NumberOf(const std::string& digits)
{
    if (digits.size() < 4 || digits.size() > 6 || (digits.size() > 4 && digits[0] == '0'))
        return 0;
    unsigned number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

// Seconds with six decimals, as FormatSeconds writes them; *at moves past them.
bool ParseSixDecimals(const std::string& text, size_t* at, uint64_t* micros)
{
    size_t i = *at;
    uint64_t whole = 0;
    const size_t first = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && i - first < 12; ++i)
        whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
    if (i == first || i + 7 > text.size() || text[i] != '.')
        return false;
    uint64_t fraction = 0;
    for (size_t j = i + 1; j < i + 7; ++j) {
        if (text[j] < '0' || text[j] > '9')
            return false;
        fraction = fraction * 10 + static_cast<uint64_t>(text[j] - '0');
    }
    *micros = whole * 1000000 + fraction;
    *at = i + 7;
    return true;
}

} // namespace

PartSeries SeriesOfFile(const std::string& path)
{
    const size_t extension = ExtensionStart(path, NameStart(path), path.size());
    return PartSeries{ path.substr(0, extension), path.substr(extension) };
}

std::string PartName(const PartSeries& series, unsigned number)
{
    char digits[16];
    snprintf(digits, sizeof digits, "-%04u", number);
    return series.stem + digits + series.extension;
}

unsigned PartNumber(const PartSeries& series, const std::string& path)
{
    const size_t fixed = series.stem.size() + 1 + series.extension.size();
    if (path.size() <= fixed || path.compare(0, series.stem.size(), series.stem) != 0
        || path[series.stem.size()] != '-'
        || path.compare(path.size() - series.extension.size(), series.extension.size(), series.extension) != 0)
        return 0;
    return NumberOf(path.substr(series.stem.size() + 1, path.size() - fixed));
}

bool SeriesOfPart(const std::string& path, PartSeries* series, unsigned* number)
{
    const PartSeries whole = SeriesOfFile(path);
    const size_t dash = whole.stem.rfind('-');
    if (dash == std::string::npos || dash <= NameStart(path))   // a name before the number
        return false;
    const PartSeries found{ whole.stem.substr(0, dash), whole.extension };
    const unsigned at = PartNumber(found, path);
    if (at == 0)
        return false;
    *series = found;
    *number = at;
    return true;
}

std::vector<std::string> PartsAmong(const PartSeries& series, const std::vector<std::string>& paths)
{
    std::vector<std::pair<unsigned, std::string>> numbered;
    for (const std::string& path : paths) {
        if (const unsigned number = PartNumber(series, path))
            numbered.emplace_back(number, path);
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> parts;
    for (auto& part : numbered)
        parts.push_back(std::move(part.second));
    return parts;
}

size_t PartsToDelete(const std::vector<uint64_t>& finishedBytes, uint64_t writingBytes, const KeepBudget& budget)
{
    uint64_t total = writingBytes;
    for (uint64_t bytes : finishedBytes)
        total += bytes;
    size_t deleted = 0;
    const size_t finished = finishedBytes.size();
    while (deleted < finished) {
        const bool overCount = budget.count != 0 && finished - deleted + 1 > budget.count;
        const bool overBytes = budget.bytes != 0 && total > budget.bytes;
        if (!overCount && !overBytes)
            break;
        total -= finishedBytes[deleted++];
    }
    return deleted;
}

bool ParseByteSize(const std::string& text, uint64_t* bytes)
{
    static const struct { const char* name; unsigned shift; } kUnits[] = {
        { "B", 0 }, { "KiB", 10 }, { "MiB", 20 }, { "GiB", 30 }, { "TiB", 40 },
    };
    size_t digits = 0;
    uint64_t number = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        number = number * 10 + static_cast<uint64_t>(text[digits] - '0');
        if (number > (1ULL << 50))
            return false;
    }
    for (const auto& unit : kUnits) {
        if (digits != 0 && text.compare(digits, std::string::npos, unit.name) == 0) {
            const uint64_t result = number << unit.shift;
            if (number == 0 || result > (1ULL << 50) || (result >> unit.shift) != number)
                return false;
            *bytes = result;
            return true;
        }
    }
    return false;
}

bool ParseSplit(const std::string& text, PieceBound* bound, std::string* error)
{
    uint64_t bytes = 0, micros = 0;
    if (ParseByteSize(text, &bytes) && bytes >= kMinSplitBytes) {
        *bound = PieceBound();
        bound->bytes = bytes;
        return true;
    }
    if (!ParseByteSize(text, &bytes) && ParseDuration(text, &micros, nullptr) && micros >= 1000000) {
        *bound = PieceBound();
        bound->micros = micros;
        return true;
    }
    *error = FormatText(N_("bad --split %s: expected a size of 1MiB or more (like 256MiB; units B, KiB, MiB, GiB, "
                           "TiB) or a duration of 1s or more (like 1h)"),
                        QuoteInput(text).c_str());
    return false;
}

bool ParseKeep(const std::string& text, KeepBudget* budget, std::string* error)
{
    uint64_t bytes = 0;
    if (ParseByteSize(text, &bytes)) {
        *budget = KeepBudget();
        budget->bytes = bytes;
        return true;
    }
    uint64_t count = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && count <= kMaxPartNumber; ++i)
        count = count * 10 + static_cast<uint64_t>(text[i] - '0');
    if (i != 0 && i == text.size() && count >= 1 && count <= kMaxPartNumber) {
        *budget = KeepBudget();
        budget->count = count;
        return true;
    }
    *error = FormatText(N_("bad --keep %s: expected a size (like 10GiB; units B, KiB, MiB, GiB, TiB) or a number "
                           "of parts, 1 to %u"),
                        QuoteInput(text).c_str(), static_cast<unsigned>(kMaxPartNumber));
    return false;
}

std::string FormatPartLine(unsigned number, uint64_t seriesMicros, const WallTime& seriesStart)
{
    return FormatText("# part %u, %s s into the series started %s", number, FormatSeconds(seriesMicros).c_str(),
                      FormatLocalTime(seriesStart).c_str());
}

bool ParsePartLine(const std::string& line, PartLine* part)
{
    static const char kPrefix[] = "# part ";
    static const char kMiddle[] = " s into the series started ";
    if (line.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
        return false;
    size_t at = sizeof kPrefix - 1;
    const size_t digits = line.find(", ", at);
    if (digits == std::string::npos)
        return false;
    PartLine found;
    found.number = NumberOf(std::string(4 - std::min<size_t>(4, digits - at), '0') + line.substr(at, digits - at));
    at = digits + 2;
    if (found.number == 0 || !ParseSixDecimals(line, &at, &found.seriesMicros)
        || line.compare(at, sizeof kMiddle - 1, kMiddle) != 0
        || !ParseLocalTime(line.substr(at + sizeof kMiddle - 1), &found.seriesStart))
        return false;
    *part = found;
    return true;
}
