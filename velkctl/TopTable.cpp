#include "velkctl/TopTable.h"

#include <inttypes.h>

#include <algorithm>

#include "common/FormatText.h"
#include "formats/CodeArgument.h"
#include "formats/CodeRows.h"
#include "signals/MessageCheck.h"

namespace {

// The columns before NAME and VALUE, head and row alike wide; DIR, TYPE and
// CH only where ChooseTopColumns leaves them.
const char kCodeHead[] = "  %-8s", kCodeRow[] = "%c %08" PRIx32;
const char kDirHead[] = " %-5s", kDirRow[] = " %-5.5s";
const char kTypeHead[] = " %-7s", kTypeRow[] = " %-7.7s";
const char kChannelHead[] = " %3s", kChannelRow[] = " %3u";
const char kCountsHead[] = " %10s %9s %7s  ", kCountsRow[] = " %10" PRIu64 " %9.1f %7s  ";
const size_t kCodeWidth = 10, kDirWidth = 6, kTypeWidth = 8, kChannelWidth = 4, kCountsWidth = 31;
const size_t kNameGap = 2;   // between NAME and VALUE

size_t FixedWidth(const TopColumns& columns)
{
    return kCodeWidth + (columns.direction ? kDirWidth : 0) + (columns.type ? kTypeWidth : 0) +
           (columns.channel ? kChannelWidth : 0) + kCountsWidth;
}

char MarkChar(TopMark mark)
{
    switch (mark) {
    case kTopChanged: return '*';
    case kTopSilent: return '.';
    case kTopBeyondLimit: return '!';
    case kTopLate: return '~';
    case kTopFaulty: return '!';
    default: return ' ';
    }
}

std::string Padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The fixed columns, then the value in what the width leaves.
std::string Fitted(const std::string& fixed, const std::string& value, size_t width, LeadByteTest isLeadByte)
{
    if (fixed.size() >= width)
        return CutToWidth(fixed, width, isLeadByte);
    return fixed + CutToWidth(value, width - fixed.size(), isLeadByte);
}

std::string Age(uint64_t now, uint64_t last)
{
    double seconds = now > last ? static_cast<double>(now - last) / 1e6 : 0;
    if (seconds < 100)
        return FormatText("%.1fs", seconds);
    if (seconds < 1e6)
        return FormatText("%.0fs", seconds);
    return ">1e6s";
}

} // namespace

std::string DirectionInitials(uint32_t code)
{
    std::string names = DirectionNamesOf(code);
    std::string initials;
    bool wordStart = true;
    for (char c : names) {
        if (c == '+' ) {
            initials += '+';
            wordStart = true;
        } else if (c == ' ') {
            wordStart = true;
        } else if (wordStart) {
            initials += c;
            wordStart = false;
        }
    }
    return initials.empty() ? "-" : initials;
}

TopColumns ChooseTopColumns(size_t width, size_t nameWant, size_t valueWant)
{
    TopColumns columns;
    const size_t want = std::min(nameWant, static_cast<size_t>(kTopMaxNameWidth));
    if (want == 0)
        return columns;
    const size_t least = std::min(want, static_cast<size_t>(kTopMinNameWidth));
    const size_t value = std::min(valueWant, static_cast<size_t>(kTopMaxValueRoom));
    for (bool* optional : { &columns.direction, &columns.type, &columns.channel }) {
        if (FixedWidth(columns) + least + kNameGap + value <= width)
            break;
        *optional = false;
    }
    const size_t taken = FixedWidth(columns) + kNameGap + value;
    columns.nameWidth = std::max(least, std::min(want, width > taken ? width - taken : 0));
    return columns;
}

void TopTable::Receive(uint32_t code, uint64_t micros, const LatestValue& message)
{
    bool made = false;
    Row* at = RowForCode(rows_, code, kTopMaxCodes, &made);
    if (at == nullptr) {
        ++unlisted_;
        return;
    }
    if (!made && at->latest != message)
        at->changing = true;
    at->latest = message;
    if (signals_ != nullptr) {
        at->faulting |= signals_->Faults(code, message);
        at->lating |= at->gaps.Receive(micros, signals_->PeriodMicros(code));
    }
    ++at->count;
    ++at->inInterval;
    at->lastMicros = micros;
}

void TopTable::EndInterval(uint64_t, uint64_t intervalMicros)
{
    for (Row& row : rows_) {
        row.rate = intervalMicros == 0 ? 0 : static_cast<double>(row.inInterval) * 1e6 / static_cast<double>(intervalMicros);
        row.silent = row.inInterval == 0 ? row.silent + 1 : 0;
        row.inInterval = 0;
        row.changed = row.changing;
        row.changing = false;
        row.faulted = row.faulting;
        row.faulting = 0;
        row.lated = row.lating;
        row.lating = false;
    }
}

void TopTable::ClearCounts()
{
    for (Row& row : rows_) {
        row.count = 0;
        row.inInterval = 0;
        row.rate = 0;
        row.gaps.ClearCount();
    }
}

TopMark TopTable::MarkOf(const Row& row, uint64_t now) const
{
    if (row.faulted != 0)
        return kTopFaulty;
    const uint64_t period = signals_ != nullptr ? signals_->PeriodMicros(row.code) : 0;
    if (row.lated || LateInterval(row.lastMicros, now, period))
        return kTopLate;
    return row.changed ? kTopChanged : row.silent >= kTopSilentIntervals ? kTopSilent : kTopPlain;
}

std::vector<TopLine> TopTable::Format(size_t width, size_t maxRows, uint64_t now, LeadByteTest isLeadByte) const
{
    std::vector<const Row*> order;
    for (const Row& row : rows_)
        order.push_back(&row);
    if (byRate_)
        std::stable_sort(order.begin(), order.end(), [](const Row* a, const Row* b) { return a->rate > b->rate; });

    // The signals of the rows that can show, their first values with the
    // row's marks, and the room names and values want.
    const size_t shown = std::min(order.size(), maxRows);
    std::vector<std::vector<TopSignalCell>> cells(signals_ != nullptr ? shown : 0);
    std::vector<bool> named(cells.size());
    size_t nameWant = 4, valueWant = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        const Row& row = *order[i];
        named[i] = signals_->Cells(row.code, row.latest, &cells[i]);
        if (!named[i]) {
            valueWant = std::max(valueWant, LatestValueText(row.latest, kTopMaxValueRoom, isLeadByte).size());
            continue;
        }
        if (!cells[i].empty()) {
            std::string& first = cells[i][0].value;
            MessageFaults faults;
            faults.checksum = (row.faulted & kTopBadChecksum) != 0;
            faults.counter = (row.faulted & kTopBadCounter) != 0;
            if (row.faulted != 0)
                first += "  " + FormatFaultMarks(faults);
            if (row.gaps.Count() != 0)
                first += FormatText("  ~%" PRIu64, row.gaps.Count());
        }
        for (const TopSignalCell& cell : cells[i]) {
            nameWant = std::max(nameWant, cell.name.size());
            valueWant = std::max(valueWant, cell.value.size());
        }
    }
    const TopColumns columns = ChooseTopColumns(width, signals_ != nullptr ? nameWant : 0, valueWant);

    std::vector<TopLine> lines;
    std::string head = FormatText(kCodeHead, "CODE");
    head += columns.direction ? FormatText(kDirHead, "DIR") : "";
    head += columns.type ? FormatText(kTypeHead, "TYPE") : "";
    head += columns.channel ? FormatText(kChannelHead, "CH") : "";
    head += FormatText(kCountsHead, "COUNT", "RATE/s", "AGE");
    head += signals_ != nullptr ? Padded("NAME", columns.nameWidth) + "  VALUE" : "VALUE";
    lines.push_back({ head.substr(0, width), kTopPlain });
    for (size_t i = 0; i < shown && lines.size() <= maxRows; ++i) {
        const Row& row = *order[i];
        const TopMark mark = MarkOf(row, now);
        std::string types = TypeNamesOf(row.code);
        std::string text = FormatText(kCodeRow, MarkChar(mark), row.code);
        text += columns.direction ? FormatText(kDirRow, DirectionInitials(row.code).c_str()) : "";
        text += columns.type ? FormatText(kTypeRow, types.empty() ? "-" : types.c_str()) : "";
        text += columns.channel ? FormatText(kChannelRow, static_cast<unsigned>(row.code & 0xFF)) : "";
        text += FormatText(kCountsRow, row.count, row.rate, Age(now, row.lastMicros).c_str());
        if (signals_ == nullptr || !named[i]) {
            if (signals_ != nullptr)
                text += Padded("", columns.nameWidth) + "  ";
            if (text.size() >= width)
                text.resize(width);
            else
                text += LatestValueText(row.latest, width - text.size(), isLeadByte);
            lines.push_back({ text, mark });
            continue;
        }
        // One line per signal; the code's columns on the first only.
        const std::string blank(text.size() - 1, ' ');
        for (size_t k = 0; k < cells[i].size() && lines.size() <= maxRows; ++k) {
            const TopSignalCell& cell = cells[i][k];
            const TopMark lineMark = cell.beyondLimit ? kTopBeyondLimit : mark;
            std::string fixed = k == 0 ? text : std::string(1, ' ') + blank;
            fixed[0] = MarkChar(lineMark);
            fixed += Padded(CutToWidth(cell.name, columns.nameWidth, isLeadByte), columns.nameWidth) + "  ";
            lines.push_back({ Fitted(fixed, cell.value, width, isLeadByte), lineMark });
        }
    }
    return lines;
}
