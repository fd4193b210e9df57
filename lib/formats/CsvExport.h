// A recording as CSV for spreadsheets: what velkctl export writes, and what
// a program that saves messages as CSV (velkscope's Save CSV) writes the
// same way. Excel and LibreOffice open it by double-click on a Chinese
// Windows: UTF-8 with a byte order mark, CR LF line ends, RFC 4180 quoting.
// Pure logic.
//
// A file is kCsvByteOrderMark, FormatCsvHeader, then one FormatCsvRow per
// message, each line ended by kCsvLineEnd:
//
//   time (UTC+08:00),seconds,code,direction,type,channel,kind,value,text,bytes,length
//   2026-12-08 20:25:40.268,0.118711,0x20000801,Write Value,DEP,1,value,-3,,,
//   2026-12-08 20:25:40.301,0.151238,0x30000202,Read Value+Write Value,STR,2,string,,温度\t25,0xcec2b6c8093235,7
//
// - time: the start's local time moved on by seconds, as a spreadsheet reads
//   a date and time; the column's name gives the start's UTC offset. Empty
//   (and the name just "time") when the start is not known.
// - code and bytes begin with 0x, so no spreadsheet takes them for numbers
//   (00000801 would lose its zeros, 30000E01 would become 300000).
// - direction: the console's DIR words of the code's direction bits, type:
//   the check-box names of its type bits, "+" between two or more.
// - value: value messages only; text (common/PayloadText.h), string
//   payloads only, as CsvTextField writes it; bytes and length: payloads only.
#pragma once
#include <string>

#include "common/LocalTime.h"
#include "common/PayloadText.h"
#include "formats/RecordLine.h"

extern const char kCsvByteOrderMark[];   // EF BB BF
extern const char kCsvLineEnd[];         // CR LF

// With a signal file four columns follow: name (the message's), signal
// (its full name), physical (the number, an enum's name, true/false, a
// text) and unit; a message has a row per signal, each with the raw
// columns, and a code the file lacks one row with the four left empty.
// When the file has counters or checksums a fifth, check, follows: "!crc",
// "!cnt", both, or empty, on every row of the message.
struct CsvSignalCells {
    std::string name, signal, physical, unit;   // UTF-8
    bool number = false;   // physical is a number: written as it is, a minus and all
    bool checkColumn = false;
    std::string check;
    bool missing = false;  // the array ends before the field: it has no value
};

// The first two columns, "time (UTC+08:00),seconds", and a message's two
// cells under them: the same in every CSV of recordings.
std::string FormatCsvTimeHeader(const WallTime* start);
std::string FormatCsvTimeCells(uint64_t micros, const WallTime* start);

// The header row; start: when the recording started, null when not known.
std::string FormatCsvHeader(const WallTime* start, bool signalColumns = false, bool checkColumn = false);

// One message's row, without its line end; string payloads decoded in
// codePage; cells: its signal columns, null for none.
std::string FormatCsvRow(const RecordedMessage& message, const WallTime* start, const CodePage& codePage,
                         const CsvSignalCells* cells = nullptr);

// One field as RFC 4180 writes it: in double quotes, its own doubled, when it
// holds a comma, a double quote, a CR or a LF; else as it is.
std::string CsvField(const std::string& text);

// A text cell: CsvField of the text, with a ' before it when it begins with
// = + - @, a tab or a CR, so that no spreadsheet runs it as a formula.
std::string CsvTextField(const std::string& text);
