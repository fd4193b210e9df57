#include "signals/MatrixCsv.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"

namespace {

const size_t kMaxMatrixMessages = 100000;
const unsigned kMaxMatrixBits = 64;

struct Cell {
    std::string text;   // unquoted, blanks at its ends trimmed
    int line = 0, column = 0;
};

// RFC 4180 records: cells apart by the separator, a cell in double quotes
// may hold the separator, "" and line breaks (a cell of several lines).
class Records {
public:
    explicit Records(const std::string& text) : text_(text) {}

    // The next record into *cells; false at the end. *unclosed: where a
    // quoted cell ran to the end of the text.
    bool Next(char separator, std::vector<Cell>* cells, Cell* unclosed)
    {
        cells->clear();
        if (at_ >= text_.size())
            return false;
        for (;;) {
            Cell cell;
            cell.line = line_;
            cell.column = column_;
            bool quoted = false, closed = true;
            while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t') && text_[at_] != separator)
                Advance();
            if (at_ < text_.size() && text_[at_] == '"') {
                quoted = true;
                closed = false;
                Advance();
                while (at_ < text_.size()) {
                    const char c = Advance();
                    if (c != '"') {
                        cell.text += c;
                    } else if (at_ < text_.size() && text_[at_] == '"') {
                        cell.text += Advance();
                    } else {
                        closed = true;
                        break;
                    }
                }
                if (!closed)
                    *unclosed = cell;
            }
            // The rest up to the separator or the line's end (after a quoted
            // part: what Excel would keep, appended).
            while (at_ < text_.size() && text_[at_] != separator && text_[at_] != '\n' && text_[at_] != '\r')
                cell.text += Advance();
            cell.text = Trimmed(cell.text, quoted);
            cells->push_back(std::move(cell));
            if (at_ < text_.size() && text_[at_] == separator) {
                Advance();
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '\r')
                Advance();
            if (at_ < text_.size() && text_[at_] == '\n')
                Advance();
            return true;
        }
    }

    // The separator the header line uses: the most frequent of , ; and tab
    // outside quotes (a comma when none).
    char Separator() const
    {
        size_t counts[3] = { 0, 0, 0 };
        const char candidates[3] = { ',', ';', '\t' };
        bool quoted = false;
        for (size_t i = at_; i < text_.size() && (quoted || (text_[i] != '\n' && text_[i] != '\r')); ++i) {
            if (text_[i] == '"')
                quoted = !quoted;
            for (int k = 0; k < 3 && !quoted; ++k)
                counts[k] += text_[i] == candidates[k];
        }
        const int most = static_cast<int>(std::max_element(counts, counts + 3) - counts);
        return counts[most] == 0 ? ',' : candidates[most];
    }

private:
    static std::string Trimmed(const std::string& text, bool quoted)
    {
        const char* blanks = quoted ? " " : " \t";
        const size_t first = text.find_first_not_of(blanks);
        return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(blanks) + 1 - first);
    }

    char Advance()
    {
        const char c = text_[at_++];
        // \r\n, \n and a lone \r each end a line.
        if (c == '\n' || (c == '\r' && (at_ >= text_.size() || text_[at_] != '\n'))) {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '\r') {
            ++column_;   // a column per character, not per byte
        }
        return c;
    }

    const std::string& text_;
    size_t at_ = 0;
    int line_ = 1, column_ = 1;
};

enum Column { kMessage, kId, kSignal, kStartBit, kLength, kByteOrder, kSigned, kFactor, kOffset, kMin, kMax, kUnit,
              kValueTable, kCycle, kDlc, kColumnCount };
const int kRequiredColumns = 5;   // kMessage to kLength

struct ColumnName {
    Column column;
    const char* chinese;
    const char* english;   // the name errors show
    const char* others;    // more English names, '|' apart, lower case
};
const ColumnName kColumnNames[] = {
    { kMessage, "报文名称", "Message", "message name|msg name|frame name" },
    { kId, "报文标识符", "ID", "message id|msg id|identifier|frame id|can id|报文id" },
    { kSignal, "信号名称", "Signal", "signal name" },
    { kStartBit, "起始位", "Start bit", "startbit|start" },
    { kLength, "信号长度", "Length", "signal length|bit length|size" },
    { kByteOrder, "排列格式", "Byte order", "byteorder|endian|endianness|字节顺序" },
    { kSigned, "数据类型", "Signed", "data type|value type|type" },
    { kFactor, "精度", "Factor", "resolution|scale|分辨率|因子" },
    { kOffset, "偏移量", "Offset", "偏移" },
    { kMin, "物理最小值", "Min", "minimum|physical min|最小值" },
    { kMax, "物理最大值", "Max", "maximum|physical max|最大值" },
    { kUnit, "单位", "Unit", "units" },
    { kValueTable, "信号值描述", "Value table", "value description|value descriptions|values|值描述" },
    { kCycle, "报文周期", "Cycle time", "cycle|period|周期" },
    { kDlc, "报文长度", "DLC", "message length|length of message" },
};

// A header as compared: ASCII in lower case, runs of blanks as one, a unit
// in brackets at its end (ASCII or full-width) dropped.
std::string HeaderKey(std::string text)
{
    for (const char* open : { "(", "\xEF\xBC\x88", "[" }) {   // （
        const size_t at = text.find(open);
        if (at != std::string::npos && at > 0)
            text.erase(at);
    }
    std::string key;
    for (char c : text) {
        if (c == ' ' || c == '_' || c == '\t') {
            if (!key.empty() && key.back() != ' ')
                key += ' ';
        } else {
            key += static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
    }
    while (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

bool FindColumn(const std::string& header, Column* column)
{
    const std::string key = HeaderKey(header);
    for (const ColumnName& name : kColumnNames) {
        std::string others = std::string(name.others) + "|";
        bool found = key == name.chinese || key == HeaderKey(name.english);
        for (size_t at = 0, bar; !found && (bar = others.find('|', at)) != std::string::npos; at = bar + 1)
            found = key == others.substr(at, bar - at);
        if (found) {
            *column = name.column;
            return true;
        }
    }
    return false;
}

std::string ColumnShown(Column column)
{
    return std::string(kColumnNames[column].chinese) + " (" + kColumnNames[column].english + ")";
}

// A word of a cell as compared: ASCII in lower case, what is not a letter
// or digit a blank, runs of blanks as one ("Motorola (LSB)": "motorola lsb").
std::string WordKey(const std::string& text)
{
    std::string key;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || isalnum(byte))
            key += static_cast<char>(tolower(byte));
        else if (!key.empty() && key.back() != ' ')
            key += ' ';
    }
    if (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

// Whole text as an unsigned number in base 10 or 16, at most highest.
bool ParseUnsigned(const std::string& text, int base, uint64_t highest, uint64_t* value)
{
    if (text.empty() || text.size() > 20 || !isxdigit(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = strtoull(text.c_str(), &end, base);
    if (*end != '\0' || errno != 0 || parsed > highest)
        return false;
    *value = parsed;
    return true;
}

bool ParseReal(const std::string& text, double* value)
{
    if (text.empty() || text.size() > 64)
        return false;
    char* end = nullptr;
    const double parsed = strtod(text.c_str(), &end);
    if (*end != '\0' || !isfinite(parsed) || text.find_first_of("xXpP") != std::string::npos)
        return false;
    *value = parsed;
    return true;
}

// A value table's raw: decimal with its sign, or 0x-hex.
bool ParseRaw(const std::string& text, int64_t* raw)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    uint64_t magnitude;
    if (!ParseUnsigned(hex ? digits.substr(2) : digits, hex ? 16 : 10, negative ? uint64_t(INT64_MAX) + 1 : INT64_MAX,
                       &magnitude))
        return false;
    *raw = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Counting a big-endian payload's bits from the top of byte 0 down, DBC's
// start bit s is bit s/8*8 + 7 - s%8; the same map takes it back.
uint64_t Sawtooth(uint64_t bit)
{
    return bit / 8 * 8 + 7 - bit % 8;
}

class Reader {
public:
    Reader(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors)
        : records_(text), fileName_(fileName), file_(file), errors_(errors)
    {
    }

    void Read();

private:
    bool Header(const std::vector<Cell>& cells);
    void Row(const std::vector<Cell>& cells);
    DbcMessage* RowMessage(const std::vector<Cell>& cells, const Cell& nameCell, const Cell& idCell);
    bool SignalOfRow(const std::vector<Cell>& cells, DbcSignal* signal);
    bool ValueTable(const Cell& cell, std::vector<DbcValueName>* values);
    void Error(const Cell& at, const std::string& what);
    void Flush();

    struct Pending {
        int line, column;
        std::string what;
    };
    std::vector<Pending> pending_;   // the record's mistakes
    Records records_;
    std::string fileName_;
    DbcFile* file_;
    std::vector<std::string>* errors_;
    size_t errorCount_ = 0;
    int columns_[kColumnCount];   // each column's index in a row, -1 when absent
    size_t width_ = 0;            // the header's cells
    size_t current_ = kNone;      // the message rows without one belong to
    static const size_t kNone = SIZE_MAX, kFailed = SIZE_MAX - 1;
    std::unordered_map<uint32_t, size_t> byId_;
    std::unordered_map<std::string, size_t> byName_;
    std::vector<bool> dlcGiven_;
};

void Reader::Error(const Cell& at, const std::string& what)
{
    pending_.push_back(Pending{ at.line, at.column, what });
}

void Reader::Flush()
{
    // A record's cells may lie on several lines (a quoted cell's line
    // breaks): its mistakes go out in the file's order.
    std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (const Pending& error : pending_)
        if (errorCount_++ < kMaxDbcErrors)
            errors_->push_back(FormatText("%s:%d:%d: ", fileName_.c_str(), error.line, error.column) + error.what);
    pending_.clear();
}

bool Reader::Header(const std::vector<Cell>& cells)
{
    std::fill(columns_, columns_ + kColumnCount, -1);
    width_ = cells.size();
    bool good = true;
    for (size_t i = 0; i < cells.size(); ++i) {
        Column column;
        if (cells[i].text.empty())
            continue;
        if (!FindColumn(cells[i].text, &column)) {
            file_->notes.push_back(DbcNote{ cells[i].line, cells[i].column,
                                            FormatText(N_("column %s left out: not a column the import reads"),
                                                       QuoteInput(cells[i].text, 40).c_str()) });
        } else if (columns_[column] >= 0) {
            Error(cells[i], FormatText(N_("column %s is given twice (first in column %d)"), ColumnShown(column).c_str(),
                                       cells[columns_[column]].column));
            good = false;
        } else {
            columns_[column] = static_cast<int>(i);
        }
    }
    for (int column = 0; column < kRequiredColumns; ++column) {
        if (columns_[column] < 0) {
            Error(cells[0], FormatText(N_("no column %s"), ColumnShown(static_cast<Column>(column)).c_str()));
            good = false;
        }
    }
    return good;
}

DbcMessage* Reader::RowMessage(const std::vector<Cell>& cells, const Cell& nameCell, const Cell& idCell)
{
    if (nameCell.text.empty() && idCell.text.empty()) {
        if (current_ == kNone)
            Error(nameCell, N_("the row names no message, and no row above it does"));
        return current_ >= kFailed ? nullptr : &file_->messages[current_];
    }
    // Until this message reads, the rows below it belong to none (and say nothing more).
    current_ = kFailed;
    if (nameCell.text.empty() || idCell.text.empty()) {
        Error(nameCell.text.empty() ? nameCell : idCell, N_("a message needs both its name and its ID"));
        return nullptr;
    }
    std::string hex = idCell.text;
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
        hex.erase(0, 2);
    uint64_t id;
    if (!ParseUnsigned(hex, 16, 0x1FFFFFFF, &id)) {
        Error(idCell, FormatText(N_("%s is not a CAN identifier (hex from 0 to 1FFFFFFF)"), QuoteInput(idCell.text, 40).c_str()));
        return nullptr;
    }
    const uint32_t dbcId = static_cast<uint32_t>(id > 0x7FF ? id | kDbcExtendedFlag : id);
    const auto byId = byId_.find(dbcId);
    const auto byName = byName_.find(nameCell.text);
    if (byId != byId_.end() && byId->second != (byName == byName_.end() ? SIZE_MAX : byName->second)) {
        Error(nameCell, FormatText(N_("ID %s is message %s (line %d)"), idCell.text.c_str(),
                                   file_->messages[byId->second].name.c_str(), file_->messages[byId->second].line));
        return nullptr;
    }
    if (byId == byId_.end() && byName != byName_.end()) {
        Error(idCell, FormatText(N_("message %s has another ID (line %d)"), nameCell.text.c_str(),
                                 file_->messages[byName->second].line));
        return nullptr;
    }
    if (byId == byId_.end()) {
        if (file_->messages.size() >= kMaxMatrixMessages) {
            Error(nameCell, FormatText(N_("more than %llu messages"), static_cast<unsigned long long>(kMaxMatrixMessages)));
            return nullptr;
        }
        DbcMessage message;
        message.id = dbcId;
        message.name = nameCell.text;
        message.dlc = 8;
        message.line = nameCell.line;
        message.column = nameCell.column;
        byId_.emplace(dbcId, file_->messages.size());
        byName_.emplace(message.name, file_->messages.size());
        file_->messages.push_back(std::move(message));
        dlcGiven_.push_back(false);
    }
    current_ = byId_[dbcId];
    DbcMessage* message = &file_->messages[current_];
    if (columns_[kCycle] >= 0 && !cells[columns_[kCycle]].text.empty()) {
        const Cell& cycle = cells[columns_[kCycle]];
        double ms;
        if (!ParseReal(cycle.text, &ms) || ms < 0) {
            Error(cycle, FormatText(N_("%s is not a cycle time in ms"), QuoteInput(cycle.text, 40).c_str()));
        } else if (message->hasCycle && message->cycleMs != ms) {
            Error(cycle, FormatText(N_("the cycle time of %s is another at line %d"), message->name.c_str(), message->cycleLine));
        } else {
            message->hasCycle = true;
            message->cycleMs = ms;
            message->cycleLine = cycle.line;
        }
    }
    if (columns_[kDlc] >= 0 && !cells[columns_[kDlc]].text.empty()) {
        uint64_t dlc;
        if (!ParseUnsigned(cells[columns_[kDlc]].text, 10, 64, &dlc))
            Error(cells[columns_[kDlc]], FormatText(N_("expected a whole number from 0 to %llu, found %s"), 64ull,
                                                     QuoteInput(cells[columns_[kDlc]].text, 40).c_str()));
        else
            message->dlc = static_cast<unsigned>(dlc);
        dlcGiven_[current_] = true;
    }
    return message;
}

bool Reader::ValueTable(const Cell& cell, std::vector<DbcValueName>* values)
{
    // Entries apart by ; (or the full-width ；) or line breaks.
    std::string text = cell.text;
    for (const char* apart : { "\xEF\xBC\x9B", "\r\n", "\n", "\r" })
        for (size_t at = text.find(apart); at != std::string::npos; at = text.find(apart, at))
            text.replace(at, strlen(apart), ";");
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find(';', at);
        if (end == std::string::npos)
            end = text.size();
        std::string entry = text.substr(at, end - at);
        at = end + 1;
        if (entry.find_first_not_of(' ') == std::string::npos)
            continue;
        size_t colon = entry.find(':');
        size_t after = colon + 1;
        const size_t wide = entry.find("\xEF\xBC\x9A");   // ：
        if (wide != std::string::npos && (colon == std::string::npos || wide < colon)) {
            colon = wide;
            after = wide + 3;
        }
        DbcValueName value;
        std::string raw = colon == std::string::npos ? entry : entry.substr(0, colon);
        raw.erase(0, raw.find_first_not_of(' '));
        raw.erase(raw.find_last_not_of(' ') + 1);
        if (colon == std::string::npos || !ParseRaw(raw, &value.raw)) {
            Error(cell, FormatText(N_("value description %s is not RAW:TEXT (0x1:On)"), QuoteInput(entry, 40).c_str()));
            return false;
        }
        value.text = entry.substr(after);
        values->push_back(std::move(value));
    }
    return true;
}

bool Reader::SignalOfRow(const std::vector<Cell>& cells, DbcSignal* signal)
{
    const Cell& name = cells[columns_[kSignal]];
    signal->name = name.text;
    signal->line = name.line;
    signal->column = name.column;
    uint64_t start, length;
    const Cell& startCell = cells[columns_[kStartBit]];
    const Cell& lengthCell = cells[columns_[kLength]];
    const uint64_t lastBit = static_cast<uint64_t>(kMaxPayloadBytes) * 8 - 1;
    if (!ParseUnsigned(startCell.text, 10, lastBit, &start)) {
        Error(startCell, FormatText(N_("expected a whole number from 0 to %llu, found %s"),
                                    static_cast<unsigned long long>(lastBit), QuoteInput(startCell.text, 40).c_str()));
        return false;
    }
    if (!ParseUnsigned(lengthCell.text, 10, UINT32_MAX, &length) || length < 1 || length > kMaxMatrixBits) {
        Error(lengthCell, FormatText(N_("a signal is 1 to %u bits, not %s"), kMaxMatrixBits, QuoteInput(lengthCell.text, 40).c_str()));
        return false;
    }
    const Cell* order = columns_[kByteOrder] >= 0 ? &cells[columns_[kByteOrder]] : nullptr;
    const std::string orderWord = order != nullptr ? WordKey(order->text) : std::string();
    if (orderWord == "motorola lsb") {
        // The start bit names the LSB: the MSB is length - 1 bits above it.
        const uint64_t lsb = Sawtooth(start);
        if (lsb < length - 1) {
            Error(startCell, N_("the signal begins before byte 0"));
            return false;
        }
        start = Sawtooth(lsb - (length - 1));
        signal->motorola = true;
    } else if (orderWord == "motorola" || orderWord == "motorola msb") {
        signal->motorola = true;
    } else if (!orderWord.empty() && orderWord != "intel") {
        Error(*order, FormatText(N_("unknown byte order %s: expected Intel, Motorola, Motorola MSB or Motorola LSB"),
                                 QuoteInput(order->text, 40).c_str()));
        return false;
    }
    if (!DbcSignalFits(start, length, signal->motorola)) {
        Error(startCell, N_("the signal ends past the 64 KiB an array holds"));
        return false;
    }
    signal->startBit = static_cast<unsigned>(start);
    signal->length = static_cast<unsigned>(length);
    if (columns_[kSigned] >= 0) {
        const Cell& type = cells[columns_[kSigned]];
        const std::string word = WordKey(type.text);
        if (word == "signed" || type.text == "有符号")
            signal->isSigned = true;
        else if (word == "float" || word == "ieee float")
            signal->floatBits = 32;
        else if (word == "double" || word == "ieee double")
            signal->floatBits = 64;
        else if (!word.empty() && word != "unsigned" && type.text != "无符号") {
            Error(type, FormatText(N_("unknown data type %s: expected Unsigned, Signed, Float or Double"),
                                   QuoteInput(type.text, 40).c_str()));
            return false;
        }
    }
    struct Real { Column column; double* value; };
    for (const Real& real : { Real{ kFactor, &signal->factor }, Real{ kOffset, &signal->offset }, Real{ kMin, &signal->min },
                              Real{ kMax, &signal->max } }) {
        if (columns_[real.column] < 0 || cells[columns_[real.column]].text.empty())
            continue;
        const Cell& cell = cells[columns_[real.column]];
        if (!ParseReal(cell.text, real.value)) {
            Error(cell, FormatText(N_("%s is not a number"), QuoteInput(cell.text, 40).c_str()));
            return false;
        }
    }
    const bool hasMin = columns_[kMin] >= 0 && !cells[columns_[kMin]].text.empty();
    const bool hasMax = columns_[kMax] >= 0 && !cells[columns_[kMax]].text.empty();
    if (hasMin != hasMax) {
        Error(cells[columns_[hasMin ? kMin : kMax]], N_("only one of min and max is given: give both, or neither"));
        return false;
    }
    if (columns_[kUnit] >= 0)
        signal->unit = cells[columns_[kUnit]].text;
    if (columns_[kValueTable] >= 0 && !cells[columns_[kValueTable]].text.empty()) {
        if (!ValueTable(cells[columns_[kValueTable]], &signal->values))
            return false;
        signal->valuesLine = cells[columns_[kValueTable]].line;
    }
    return true;
}

void Reader::Row(const std::vector<Cell>& cells)
{
    for (size_t i = width_; i < cells.size(); ++i) {
        if (!cells[i].text.empty()) {
            Error(cells[i], N_("a cell right of the last column"));
            return;
        }
    }
    DbcMessage* message = RowMessage(cells, cells[columns_[kMessage]], cells[columns_[kId]]);
    if (message == nullptr || cells[columns_[kSignal]].text.empty())
        return;
    DbcSignal signal;
    if (!SignalOfRow(cells, &signal))
        return;
    // A message without its DLC is as long as its signals need, 8 bytes at least.
    if (!dlcGiven_[current_]) {
        unsigned byte = signal.startBit / 8, bit = signal.startBit % 8;
        if (signal.motorola)
            MotorolaPlace(signal.startBit, signal.length, &byte, &bit);
        message->dlc = std::max(message->dlc, byte + (bit + signal.length + 7) / 8);
    }
    message->signals.push_back(std::move(signal));
}

void Reader::Read()
{
    std::vector<Cell> cells;
    Cell unclosed;
    bool header = false;
    const char separator = records_.Separator();
    // Rows of cells up to the longest header a row needs.
    while (records_.Next(separator, &cells, &unclosed)) {
        if (unclosed.line != 0) {
            Error(unclosed, N_("text in quotes is not closed"));
            break;
        }
        if (std::all_of(cells.begin(), cells.end(), [](const Cell& cell) { return cell.text.empty(); }))
            continue;
        if (!header) {
            header = Header(cells);
            Flush();
            if (!header)
                return;
            continue;
        }
        const Cell end = cells.back();
        while (cells.size() < width_) {   // a row cut short: its missing cells are empty
            cells.push_back(end);
            cells.back().text.clear();
        }
        Row(cells);
        Flush();
    }
    Flush();
    if (!header && errorCount_ == 0)
        errors_->push_back(fileName_ + ": " + N_("no header row: the file is empty"));
    if (errorCount_ > kMaxDbcErrors)
        errors_->push_back(fileName_ + ": " +
                           FormatText(N_("more errors left out (the first %d are shown)"), static_cast<int>(kMaxDbcErrors)));
}

} // namespace

bool ReadMatrixCsv(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors)
{
    return RunDbcReader(text, fileName, errors, [&] { Reader(text, fileName, file, errors).Read(); });
}

bool IsMatrixCsvName(const std::string& fileName)
{
    return fileName.size() >= 4 && WordKey(fileName.substr(fileName.size() - 4)) == "csv" && fileName[fileName.size() - 4] == '.';
}
