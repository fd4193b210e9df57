#include "velkctl/TopTable.h"

#include <inttypes.h>

#include <algorithm>

#include "common/FormatText.h"
#include "formats/CodeArgument.h"
#include "formats/CodeRows.h"
#include "signals/MessageCheck.h"

namespace {

// The fixed columns; the value takes what the width leaves.
const char kHeadFormat[] = "  %-8s %-5s %-7s %3s %10s %9s %7s  %s";
const char kRowFormat[] = "%c %08" PRIx32 " %-5.5s %-7.7s %3u %10" PRIu64 " %9.1f %7s  ";

// A long signal name is cut; the value keeps the room.
const size_t kMaxNameWidth = 32;

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
    if (signals_ != nullptr)
        at->faulting |= signals_->Faults(code, message);
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
    }
}

void TopTable::ClearCounts()
{
    for (Row& row : rows_) {
        row.count = 0;
        row.inInterval = 0;
        row.rate = 0;
    }
}

TopMark TopTable::MarkOf(const Row& row, uint64_t now) const
{
    if (row.faulted != 0)
        return kTopFaulty;
    const uint64_t period = signals_ != nullptr ? signals_->PeriodMicros(row.code) : 0;
    if (period != 0 && now > row.lastMicros && now - row.lastMicros > 2 * period)
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

    // The signals of the rows that can show, and the NAME column they need.
    const size_t shown = std::min(order.size(), maxRows);
    std::vector<std::vector<TopSignalCell>> cells(signals_ != nullptr ? shown : 0);
    std::vector<bool> named(cells.size());
    size_t nameWidth = 4;
    for (size_t i = 0; i < cells.size(); ++i) {
        named[i] = signals_->Cells(order[i]->code, order[i]->latest, &cells[i]);
        for (const TopSignalCell& cell : cells[i])
            nameWidth = std::max(nameWidth, std::min(cell.name.size(), kMaxNameWidth));
    }

    std::vector<TopLine> lines;
    const std::string valueHead = signals_ != nullptr ? Padded("NAME", nameWidth) + "  VALUE" : "VALUE";
    std::string head = FormatText(kHeadFormat, "CODE", "DIR", "TYPE", "CH", "COUNT", "RATE/s", "AGE", valueHead.c_str());
    lines.push_back({ head.substr(0, width), kTopPlain });
    for (size_t i = 0; i < shown && lines.size() <= maxRows; ++i) {
        const Row& row = *order[i];
        const TopMark mark = MarkOf(row, now);
        std::string types = TypeNamesOf(row.code);
        std::string text = FormatText(kRowFormat, MarkChar(mark), row.code, DirectionInitials(row.code).c_str(),
                                      types.empty() ? "-" : types.c_str(), static_cast<unsigned>(row.code & 0xFF),
                                      row.count, row.rate, Age(now, row.lastMicros).c_str());
        if (signals_ == nullptr || !named[i]) {
            if (signals_ != nullptr)
                text += Padded("", nameWidth) + "  ";
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
            fixed += Padded(CutToWidth(cell.name, nameWidth, isLeadByte), nameWidth) + "  ";
            std::string value = cell.value;
            if (k == 0 && row.faulted != 0) {
                MessageFaults faults;
                faults.checksum = (row.faulted & kTopBadChecksum) != 0;
                faults.counter = (row.faulted & kTopBadCounter) != 0;
                value += "  " + FormatFaultMarks(faults);
            }
            lines.push_back({ Fitted(fixed, value, width, isLeadByte), lineMark });
        }
    }
    return lines;
}
