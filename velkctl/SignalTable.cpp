#include "velkctl/SignalTable.h"

#include <algorithm>
#include <vector>

#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"
#include "common/ClosestWord.h"
#include "common/Catalogue.h"

namespace {

typedef std::vector<std::string> Row;

// Rows in columns as wide as their widest cell, two blanks between, no
// trailing blanks.
std::string Columns(const std::vector<Row>& rows)
{
    std::vector<size_t> widths;
    for (const Row& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    std::string text;
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + '\n';
    }
    return text;
}

std::string Number(double value)
{
    return FormatText("%.15g", value);
}

std::string Range(unsigned first, unsigned last)
{
    return first == last ? FormatText("%u", first) : FormatText("%u-%u", first, last);
}

Row SignalCells(const Signal& signal)
{
    Row cells;
    cells.push_back(SignalTypeName(signal.type));
    cells.push_back(signal.unit);
    const bool text = signal.type == kSignalStr;
    cells.push_back(text || signal.scale == 1 ? "" : Number(signal.scale));
    cells.push_back(text || signal.offset == 0 ? "" : Number(signal.offset));
    cells.push_back(signal.hasMin ? Number(signal.min) : "");
    cells.push_back(signal.hasMax ? Number(signal.max) : "");
    std::string notes;
    if (!signal.enums.empty())
        notes = FormatText("enum (%zu)", signal.enums.size());
    if (text)
        notes = signal.encoding == kEncodingUtf8 ? "utf-8" : "gbk";
    // The selector, and the selector values a multiplexed field is in.
    if (signal.mux)
        notes += notes.empty() ? "mux" : ", mux";
    if (signal.muxCycle)
        notes += ", mux_cycle";
    for (size_t i = 0; i < signal.muxValues.size(); ++i) {
        notes += i > 0 ? "/" : notes.empty() ? "mux_value " : ", mux_value ";
        notes += std::to_string(signal.muxValues[i]);
    }
    cells.push_back(notes);
    return cells;
}

const char* EndianWord(const Signal& field)
{
    return field.endian == kEndianBig ? " big" : field.endian == kEndianLittle && field.SpanBytes() > 1 ? " little" : "";
}

// "bits 0-3" of a byte's mask, which is always one run.
std::string MaskBits(unsigned mask)
{
    unsigned low = 0, high = 7;
    while ((mask >> low & 1) == 0)
        ++low;
    while ((mask >> high & 1) == 0)
        --high;
    return (low == high ? "bit " : "bits ") + Range(low, high);
}

std::string Layout(const SignalMessage& message)
{
    unsigned end = 0;
    for (const Signal& field : message.signals)
        end = std::max(end, field.type == kSignalStr && field.length == 0 ? field.byte + 1 : field.byte + field.SpanBytes());
    std::string text = "layout:\n";
    std::vector<Row> rows;
    for (unsigned byte = 0; byte < end && byte < kMaxPayloadBytes;) {
        std::string owners;
        const Signal* whole = nullptr;
        for (const Signal& field : message.signals) {
            const bool endless = field.type == kSignalStr && field.length == 0;
            if (byte < field.byte || (!endless && byte >= field.byte + field.SpanBytes()))
                continue;
            const unsigned mask = field.BitsInByte(byte);
            if (mask == 0xff)
                whole = &field;
            owners += (owners.empty() ? "" : ", ") + field.fieldName + (mask == 0xff ? "" : " " + MaskBits(mask));
        }
        unsigned last = byte;
        if (whole != nullptr && owners == whole->fieldName) {
            // A run of bytes the field fills whole.
            const bool endless = whole->type == kSignalStr && whole->length == 0;
            const unsigned fieldEnd = endless ? byte + 1 : whole->byte + whole->SpanBytes();
            while (last + 1 < fieldEnd && whole->BitsInByte(last + 1) == 0xff)
                ++last;
            if (endless)
                owners += " (to the end)";
        }
        rows.push_back(Row{ (last == byte ? "  byte " : "  bytes ") + Range(byte, last), owners.empty() ? "unused" : owners });
        byte = last + 1;
    }
    return text + Columns(rows);
}

} // namespace

std::string SignalSummary(const SignalDatabase& database)
{
    return CountOf(database.Messages().size(), "message") + ", " + CountOf(database.SignalCount(), "signal");
}

std::string FormatPeriod(uint64_t micros)
{
    if (micros == 0)
        return std::string();
    if (micros % 3600000000ULL == 0)
        return FormatText("%lluh", static_cast<unsigned long long>(micros / 3600000000ULL));
    if (micros % 60000000 == 0)
        return FormatText("%llum", static_cast<unsigned long long>(micros / 60000000));
    if (micros % 1000000 == 0)
        return FormatText("%llus", static_cast<unsigned long long>(micros / 1000000));
    if (micros % 1000 == 0)
        return FormatText("%llums", static_cast<unsigned long long>(micros / 1000));
    return FormatText("%lluus", static_cast<unsigned long long>(micros));
}

std::string FieldPlace(const Signal& field)
{
    if (field.type == kSignalStr) {
        if (field.length == 0)
            return FormatText("bytes %u- text", field.byte);
        return (field.length == 1 ? "byte " : "bytes ") + Range(field.byte, field.byte + field.length - 1) + " text";
    }
    const unsigned span = field.SpanBytes();
    std::string place = (span == 1 ? "byte " : "bytes ") + Range(field.byte, field.byte + span - 1);
    if (field.bit != 0 || field.bits % 8 != 0)
        place += (field.bits == 1 ? " bit " : " bits ") + Range(field.bit, field.bit + field.bits - 1);
    return place + EndianWord(field);
}

std::string FormatSignalTable(const SignalDatabase& database)
{
    std::vector<Row> rows;
    rows.push_back(Row{ "CODE", "KIND", "NAME", "PLACE", "TYPE", "UNIT", "SCALE", "OFFSET", "MIN", "MAX", "NOTES", "PERIOD" });
    for (const SignalMessage& message : database.Messages()) {
        Row row{ FormatText("%08x", static_cast<unsigned>(message.code)), MessageKindName(message.kind), message.name, "" };
        if (message.kind == kArrayPayload) {
            row.resize(11);
            row.push_back(FormatPeriod(message.periodMicros));
            rows.push_back(row);
            for (const Signal& field : message.signals) {
                Row cells{ "", "", "  " + field.name, FieldPlace(field) };
                Row more = SignalCells(field);
                cells.insert(cells.end(), more.begin(), more.end());
                rows.push_back(cells);
            }
            continue;
        }
        Row more = SignalCells(message.signals.front());
        row.insert(row.end(), more.begin(), more.end());
        row.push_back(FormatPeriod(message.periodMicros));
        rows.push_back(row);
    }
    return Columns(rows);
}

bool FormatSignalDetail(const SignalDatabase& database, const std::string& name, std::string* text, std::string* error)
{
    const SignalMessage* message = database.FindMessage(name);
    if (message == nullptr)
        message = database.FindSignal(name).message;
    if (message == nullptr) {
        std::vector<std::string> names;
        for (const SignalMessage& each : database.Messages()) {
            names.push_back(each.name);
            for (const Signal& signal : each.signals)
                names.push_back(signal.name);
        }
        const std::string meant = ClosestWord(name, names);
        *error = meant.empty() ? FormatText(N_("no message or signal '%s' in the file"), name.c_str())
                               : FormatText(N_("no message or signal '%s' in the file (did you mean '%s'?)"), name.c_str(),
                                            meant.c_str());
        return false;
    }
    std::string out = FormatText("%s: %s code %08x, line %d\n", message->name.c_str(), MessageKindName(message->kind),
                     static_cast<unsigned>(message->code), message->line);
    if (!message->comment.empty())
        out += "comment: " + message->comment + "\n";
    if (message->periodMicros != 0)
        out += "period: " + FormatPeriod(message->periodMicros) + "\n";
    std::vector<Row> rows;
    rows.push_back(Row{ "SIGNAL", "PLACE", "TYPE", "UNIT", "SCALE", "OFFSET", "MIN", "MAX", "NOTES" });
    for (const Signal& signal : message->signals) {
        Row row{ signal.name, message->kind == kArrayPayload ? FieldPlace(signal) : std::string() };
        Row more = SignalCells(signal);
        row.insert(row.end(), more.begin(), more.end());
        rows.push_back(row);
    }
    out += Columns(rows);
    for (const Signal& signal : message->signals) {
        if (signal.enums.empty())
            continue;
        out += "enum of " + signal.name + ":\n";
        std::vector<Row> values;
        for (const SignalEnumEntry& entry : signal.enums)
            values.push_back(Row{ FormatText("  %lld", static_cast<long long>(entry.raw)), entry.name });
        out += Columns(values);
    }
    if (message->kind == kArrayPayload && !message->signals.empty())
        out += Layout(*message);
    *text = out;
    return true;
}
