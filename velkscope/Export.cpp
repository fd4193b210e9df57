#include "velkscope/Export.h"

#include <algorithm>

#include "formats/CsvExport.h"
#include "signals/SignalCsv.h"

void ForEachShownMessage(const ScopeModel& model, const std::vector<StretchReader>& readers, int64_t from, int64_t to,
                         const std::function<bool(size_t source, const RecordedMessage&)>& visit)
{
    bool going = true;
    for (size_t source = 0; going && source < model.Sources().size() && source < readers.size(); ++source) {
        std::vector<uint32_t> codes;
        for (const Trace& trace : model.Traces()) {
            if (trace.source == source && std::find(codes.begin(), codes.end(), trace.code) == codes.end())
                codes.push_back(trace.code);
        }
        const int64_t origin = model.Origin(source);
        if (codes.empty() || to - origin < 0)
            continue;
        const uint64_t low = static_cast<uint64_t>(std::max<int64_t>(from - origin, 0));
        readers[source](low, static_cast<uint64_t>(to - origin), [&](const RecordedMessage& message) {
            if (std::find(codes.begin(), codes.end(), message.code) == codes.end())
                return true;
            going = visit(source, message);
            return going;
        });
    }
}

bool WriteShownCsv(const ScopeModel& model, const std::vector<StretchReader>& readers, int64_t from, int64_t to,
                   const CodePage& codePage, const std::function<bool(const std::string& line)>& write)
{
    WallTime axisStart;
    const bool known = model.AxisStart(&axisStart);
    const SignalDatabase* signals = model.Signals();
    // export's check column, judged source by source.
    CsvCheckColumn check(signals);
    if (!write(std::string(kCsvByteOrderMark) + FormatCsvHeader(known ? &axisStart : nullptr, signals != nullptr, check.Present()) +
               kCsvLineEnd))
        return false;
    bool written = true;
    size_t judged = 0;
    ForEachShownMessage(model, readers, from, to, [&](size_t source, const RecordedMessage& message) {
        if (source != judged)
            check.Restart();
        judged = source;
        const ScopeSource& from = *model.Sources()[source];
        const WallTime* start = from.startKnown ? &from.start : nullptr;
        if (signals == nullptr) {
            written = write(FormatCsvRow(message, start, codePage) + kCsvLineEnd);
            return written;
        }
        std::vector<CsvSignalCells> cells = SignalCsvCells(*signals, message, model.Pages());
        if (cells.empty())
            cells.push_back(CsvSignalCells());
        const std::string marks = check.Marks(message);
        for (CsvSignalCells& one : cells) {
            one.checkColumn = check.Present();
            one.check = marks;
            written = write(FormatCsvRow(message, start, codePage, &one) + kCsvLineEnd);
            if (!written)
                return false;
        }
        return true;
    });
    return written;
}
