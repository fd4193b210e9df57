#include "velkctl/WideCsv.h"

#include <algorithm>

#include "common/FormatText.h"
#include "formats/CsvExport.h"
#include "signals/SignalCsv.h"

namespace {

// Where a column goes: the file's messages in its order, then codes it lacks.
size_t MessageRank(const SignalDatabase* signals, uint32_t code)
{
    if (signals != nullptr) {
        const SignalMessage* message = signals->FindCode(code);
        if (message != nullptr)
            return static_cast<size_t>(message - signals->Messages().data());
    }
    return SIZE_MAX;
}

} // namespace

WideCsv::WideCsv(const SignalDatabase* signals, const SignalCodePages& pages, const CodePage& codePage)
    : signals_(signals), pages_(pages), codePage_(codePage) {}

void WideCsv::AddColumnsOf(const RecordedMessage& message)
{
    const SignalMessage* named = signals_ != nullptr ? signals_->FindCode(message.code) : nullptr;
    if (named == nullptr) {
        columns_.emplace(Key(message.code, -1), 0);
        return;
    }
    for (size_t i = 0; i < named->signals.size(); ++i)
        columns_.emplace(Key(message.code, static_cast<int>(i)), 0);
}

std::string WideCsv::Header(const WallTime* start)
{
    std::vector<Key> keys;
    for (const auto& column : columns_)
        keys.push_back(column.first);
    std::stable_sort(keys.begin(), keys.end(), [this](const Key& a, const Key& b) {
        return MessageRank(signals_, a.first) < MessageRank(signals_, b.first);
    });
    std::string header = FormatCsvTimeHeader(start);
    for (size_t place = 0; place < keys.size(); ++place) {
        columns_[keys[place]] = place;
        const Key& key = keys[place];
        if (key.second < 0) {
            header += FormatText(",0x%08x", static_cast<unsigned>(key.first));
            continue;
        }
        const Signal& signal = signals_->FindCode(key.first)->signals[static_cast<size_t>(key.second)];
        header += ',' + CsvTextField(signal.name + (signal.unit.empty() ? "" : " (" + signal.unit + ")"));
    }
    cells_.assign(keys.size(), std::string());
    return header;
}

void WideCsv::Take(const RecordedMessage& message, const WallTime* start, std::vector<std::string>* rows)
{
    if (message.expired)
        return;   // its value is not known: the one before stays in force
    if (pending_ && message.micros != micros_)
        rows->push_back(Row(start));
    pending_ = true;
    micros_ = message.micros;
    const SignalMessage* named = signals_ != nullptr ? signals_->FindCode(message.code) : nullptr;
    if (named == nullptr) {
        auto column = columns_.find(Key(message.code, -1));
        if (column == columns_.end())
            return;
        std::string& cell = cells_[column->second];
        if (message.kind == kValueMessage)
            cell = FormatText("%d", static_cast<int>(message.value));
        else if (message.kind == kStringPayload)
            cell = CsvTextField(PayloadText(message.bytes, codePage_));
        else
            cell = message.bytes.empty() ? std::string() : "0x" + FormatHexBytes(message.bytes);
        return;
    }
    const std::vector<CsvSignalCells> decoded = SignalCsvCells(*signals_, message, pages_, true);
    for (size_t i = 0; i < decoded.size(); ++i) {
        auto column = columns_.find(Key(message.code, static_cast<int>(i)));
        if (column == columns_.end() || decoded[i].missing)
            continue;   // a field the array is too short for, or unselected, keeps its value
        const CsvSignalCells& one = decoded[i];
        cells_[column->second] = one.number ? CsvField(one.physical) : CsvTextField(one.physical);
    }
}

void WideCsv::Finish(const WallTime* start, std::vector<std::string>* rows)
{
    if (pending_)
        rows->push_back(Row(start));
    pending_ = false;
}

std::string WideCsv::Row(const WallTime* start) const
{
    std::string row = FormatCsvTimeCells(micros_, start);
    for (const std::string& cell : cells_)
        row += ',' + cell;
    return row;
}
