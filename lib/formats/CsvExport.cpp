#include "formats/CsvExport.h"

#include "common/FormatText.h"
#include "formats/CodeArgument.h"

const char kCsvByteOrderMark[] = "\xEF\xBB\xBF";
const char kCsvLineEnd[] = "\r\n";

namespace {

std::string RawColumns(const RecordedMessage& message, const WallTime* start, const CodePage& codePage)
{
    // Appended piece by piece rather than printed: an hour of a rig is
    // millions of rows.
    std::string row = FormatCsvTimeCells(message.micros, start);
    row += ",0x";
    AppendHex(&row, message.code, 8);
    row += ',';
    row += DirectionNamesOf(message.code);
    row += ',';
    row += TypeNamesOf(message.code);
    row += ',';
    AppendDecimal(&row, message.code & 0xFF);
    row += ',';
    row += MessageKindName(message.kind);
    row += ',';
    if (message.kind == kValueMessage) {
        const int32_t value = static_cast<int32_t>(message.value);
        if (value < 0)
            row += '-';
        const int64_t wide = value;
        AppendDecimal(&row, static_cast<unsigned long long>(wide < 0 ? -wide : wide));
        return row + ",,,";
    }
    row += ',';   // no value
    if (message.kind == kStringPayload)
        row += CsvTextField(PayloadText(message.bytes, codePage));
    row += ',' + (message.bytes.empty() ? std::string() : "0x" + FormatHexBytes(message.bytes));
    return row + FormatText(",%zu", message.bytes.size());
}

} // namespace

std::string FormatCsvTimeHeader(const WallTime* start)
{
    return (start != nullptr ? "time (UTC" + FormatUtcOffset(start->offsetMinutes) + ")" : std::string("time")) +
           ",seconds";
}

std::string FormatCsvTimeCells(uint64_t micros, const WallTime* start)
{
    std::string cells;
    if (start != nullptr)
        cells = FormatSpreadsheetTime(WallTime{ start->utcMicros + static_cast<int64_t>(micros), start->offsetMinutes });
    return cells + ',' + FormatSeconds(micros);
}

std::string FormatCsvHeader(const WallTime* start, bool signalColumns, bool checkColumn)
{
    return FormatCsvTimeHeader(start) + ",code,direction,type,channel,kind,value,text,bytes,length" +
           (signalColumns ? ",name,signal,physical,unit" : "") + (signalColumns && checkColumn ? ",check" : "");
}

std::string FormatCsvRow(const RecordedMessage& message, const WallTime* start, const CodePage& codePage,
                         const CsvSignalCells* cells)
{
    std::string row = RawColumns(message, start, codePage);
    if (cells == nullptr)
        return row;
    row += ',' + CsvTextField(cells->name) + ',' + CsvTextField(cells->signal) + ',' +
           (cells->number ? CsvField(cells->physical) : CsvTextField(cells->physical)) + ',' + CsvTextField(cells->unit);
    return cells->checkColumn ? row + ',' + CsvTextField(cells->check) : row;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvTextField(const std::string& text)
{
    // What a spreadsheet reads as the start of a formula (a tab or CR before
    // one is skipped by some, so they are neutralised too).
    bool formula = false;
    if (!text.empty()) {
        switch (text[0]) {
        case '=': case '+': case '-': case '@': case '\t': case '\r': formula = true; break;
        default: break;
        }
    }
    return CsvField(formula ? "'" + text : text);
}
