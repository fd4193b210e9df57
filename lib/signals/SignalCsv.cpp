#include "signals/SignalCsv.h"

#include <math.h>

#include "signals/SignalText.h"

namespace {

void FillPhysical(const DecodedSignal& decoded, CsvSignalCells* cells)
{
    if (decoded.missing) {
        cells->missing = true;
        return;
    }
    if (decoded.isText)
        cells->physical = decoded.text;
    else if (decoded.enumName != nullptr)
        cells->physical = *decoded.enumName;
    else if (decoded.signal->type == kSignalBool)
        cells->physical = decoded.raw != 0 ? "true" : "false";
    else {
        cells->physical = FormatPhysical(decoded);
        cells->number = isfinite(decoded.physical);   // "-inf" would read as a formula
    }
}

} // namespace

std::vector<CsvSignalCells> SignalCsvCells(const SignalDatabase& database, const RecordedMessage& message,
                                           const SignalCodePages& pages, bool keepUnselected)
{
    std::vector<CsvSignalCells> rows;
    const SignalMessage* named = database.FindCode(message.code);
    if (named == nullptr)
        return rows;
    std::vector<DecodedSignal> decoded;
    DecodeMessage(*named, message.value, message.bytes, pages, &decoded);
    for (const DecodedSignal& one : decoded) {
        if (one.unselected && !keepUnselected)
            continue;
        CsvSignalCells cells;
        cells.name = named->name;
        cells.signal = one.signal->name;
        cells.unit = one.signal->unit;
        FillPhysical(one, &cells);
        rows.push_back(cells);
    }
    return rows;
}

CsvCheckColumn::CsvCheckColumn(const SignalDatabase* signals) : signals_(signals)
{
    for (size_t i = 0; signals != nullptr && i < signals->Messages().size() && !present_; ++i)
        present_ = HasChecks(signals->Messages()[i]);
}

std::string CsvCheckColumn::Marks(const RecordedMessage& message)
{
    const SignalMessage* named = present_ ? signals_->FindCode(message.code) : nullptr;
    if (message.expired)
        checks_.Forget(message.code);
    return named != nullptr && HasChecks(*named) && !message.expired
               ? FormatFaultMarks(checks_.Check(*named, message.value, message.bytes))
               : std::string();
}
