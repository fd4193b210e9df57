#include "velkctl/Export.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "common/FormatText.h"
#include "velkctl/CommandOutcome.h"
#include "formats/CsvExport.h"
#include "formats/JsonLine.h"
#include "formats/RecordParts.h"
#include "client/SignalsOption.h"
#include "signals/MessageCheck.h"
#include "signals/SignalCodec.h"
#include "signals/SignalCsv.h"
#include "signals/SignalText.h"
#include "client/InputFile.h"
#include "windows/Clock.h"
#include "windows/LineFile.h"
#include "velkctl/Replay.h"
#include "velkctl/WideCsv.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"

namespace {

// session.txt -> session.csv (or .jsonl); a name without an extension gains one.
std::string OutPathFor(const std::string& path, const char* extension)
{
    size_t name = path.find_last_of("\\/:");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name) || dot == name + 1)
        return path + extension;
    return path.substr(0, dot) + extension;
}

bool SameFile(const std::string& a, const std::string& b)
{
    char fullA[MAX_PATH * 2], fullB[MAX_PATH * 2];
    DWORD lengthA = GetFullPathNameA(a.c_str(), sizeof fullA, fullA, NULL);
    DWORD lengthB = GetFullPathNameA(b.c_str(), sizeof fullB, fullB, NULL);
    if (lengthA == 0 || lengthA >= sizeof fullA || lengthB == 0 || lengthB >= sizeof fullB)
        return _stricmp(a.c_str(), b.c_str()) == 0;
    return _stricmp(fullA, fullB) == 0;
}

// The recording read again from its first message: *more when there is one.
void ReadFromStart(SeriesReader* reader, RecordedMessage* first, bool* more, WallTime* start, const WallTime** known)
{
    *more = reader->Rewind() && reader->Next(first);
    // The start line comes before the messages: known once the first is read.
    *known = reader->Start(start) ? start : NULL;
}

// The checked recording read from its first message, with its start when it says one.
struct Reading {
    explicit Reading(const CheckedRecording& recording) : series(ReadCheckedRecording(recording)) { Restart(); }

    void Restart()
    {
        ReadFromStart(series.get(), &message, &more, &start, &known);
        taken = false;
    }

    // The next message the filter passes, in message; those it does not are counted.
    bool NextPassing(const MessageFilter& filter, uint64_t* filteredOut)
    {
        if (taken && more)
            more = series->Next(&message);
        taken = true;
        for (; more && !filter.Passes(message.code); more = series->Next(&message))
            ++*filteredOut;
        return more;
    }

    std::unique_ptr<SeriesReader> series;
    RecordedMessage message;
    bool more = false;
    bool taken = false;     // message was given by NextPassing
    WallTime start;
    const WallTime* known = NULL;
};

// False, said on stderr, when the file changed since it was checked.
bool ReadToEnd(const CheckedRecording& recording, const SeriesReader& reader)
{
    if (reader.Outcome() == kRecordRead)
        return true;
    PrintMessage("velkctl: export: %s changed after it was checked: %s\n", recording.name.c_str(),
                 reader.Error().c_str());
    return false;
}

// The rows of the checked recording into csv, a row per message (and per
// signal); false when the file changed since the check.
bool WriteRows(const CheckedRecording& recording, const MessageFilter& filter, const SignalDatabase* signals,
               LineFile* csv, uint64_t* rows, uint64_t* filteredOut)
{
    const SignalCodePages pages = WindowsSignalCodePages();
    Reading reading(recording);
    const RecordedMessage& message = reading.message;
    const WallTime* known = reading.known;
    CsvCheckColumn check(signals);
    // LineFile ends each line with "\n".
    csv->Add(kCsvByteOrderMark + FormatCsvHeader(known, signals != NULL, check.Present()) + '\r');
    while (reading.NextPassing(filter, filteredOut)) {
        ++*rows;
        if (signals == NULL) {
            csv->Add(FormatCsvRow(message, known, SystemCodePage()) + '\r');
            continue;
        }
        std::vector<CsvSignalCells> cells = SignalCsvCells(*signals, message, pages);
        if (cells.empty())
            cells.push_back(CsvSignalCells());
        const std::string marks = check.Marks(message);
        for (CsvSignalCells& one : cells) {
            one.checkColumn = check.Present();
            one.check = marks;
            csv->Add(FormatCsvRow(message, known, SystemCodePage(), &one) + '\r');
        }
    }
    return ReadToEnd(recording, *reading.series);
}

// --jsonl: a line per message as monitor --jsonl writes it ("time", in the
// start's zone as the CSV's, when the recording says its start), and "trigger":true on the message a
// trigger mark came before; false when the file changed since the check.
bool WriteJsonLines(const CheckedRecording& recording, const MessageFilter& filter, const SignalDatabase* signals,
                    LineFile* out, uint64_t* lines, uint64_t* filteredOut)
{
    const SignalCodePages pages = WindowsSignalCodePages();
    Reading reading(recording);
    const RecordedMessage& message = reading.message;
    const WallTime* known = reading.known;
    std::vector<DecodedSignal> decoded;
    uint64_t last = 0;   // the time of the line before: the first's delta is 0
    while (reading.NextPassing(filter, filteredOut)) {
        if (++*lines == 1)
            last = message.micros;
        const std::string time = known != NULL ? FormatLocalTime(WallTimeAfter(*known, message.micros)) : std::string();
        std::string line = FormatJsonLine(message, message.micros - last, message.expired, SystemCodePage(), time);
        last = message.micros;
        std::string members;
        const SignalMessage* named = signals != NULL && !message.expired ? signals->FindCode(message.code) : NULL;
        if (named != NULL) {
            DecodeMessage(*named, message.value, message.bytes, pages, &decoded);
            members += ",\"signals\":" + FormatSignalsJson(decoded);
        }
        if (reading.series->AfterTriggerMark())
            members += ",\"trigger\":true";
        line.insert(line.size() - 1, members);
        out->Add(line);
    }
    return ReadToEnd(recording, *reading.series);
}

// --wide: one pass for the columns, one for the rows (velkctl/WideCsv.h).
bool WriteWideRows(const CheckedRecording& recording, const MessageFilter& filter, const SignalDatabase* signals,
                   LineFile* csv, uint64_t* messages, uint64_t* filteredOut, uint64_t* rows, size_t* columns)
{
    WideCsv wide(signals, WindowsSignalCodePages(), SystemCodePage());
    Reading reading(recording);
    const RecordedMessage& message = reading.message;
    uint64_t passedOver = 0;   // counted in the second pass
    while (reading.NextPassing(filter, &passedOver))
        wide.AddColumnsOf(message);
    if (!ReadToEnd(recording, *reading.series))
        return false;
    reading.Restart();
    const WallTime* known = reading.known;
    csv->Add(kCsvByteOrderMark + wide.Header(known) + '\r');
    *columns = wide.Columns();
    std::vector<std::string> lines;
    while (reading.NextPassing(filter, filteredOut)) {
        ++*messages;
        wide.Take(message, known, &lines);
        for (const std::string& line : lines)
            csv->Add(line + '\r');
        *rows += lines.size();
        lines.clear();
    }
    wide.Finish(known, &lines);
    for (const std::string& line : lines)
        csv->Add(line + '\r');
    *rows += lines.size();
    return ReadToEnd(recording, *reading.series);
}

} // namespace

int ExportRecording(const ExportOptions& options)
{
    CheckedRecording recording;
    recording.from = options.fromMicros;
    recording.to = options.toMicros;
    int status = CheckRecording(options.path, &recording);
    if (status != kExitOk)
        return status;

    const bool fromStdin = options.path == "-";
    // A series (parts, a glob, a folder) is named by its first part's series: run-0001.txt -> run.csv.
    PartSeries series;
    unsigned number = 0;
    const std::string named = recording.files.size() > 1 && SeriesOfPart(recording.files[0], &series, &number)
                                  ? series.stem + series.extension
                                  : recording.files[0];
    std::string target = !options.out.empty() ? options.out : fromStdin ? "-" : OutPathFor(named, options.jsonLines ? ".jsonl" : ".csv");
    const bool toStdout = target == "-";
    for (const std::string& file : recording.files) {
        if (!fromStdin && !toStdout && SameFile(file, target)) {
            PrintMessage("velkctl: export: the CSV would replace the recording %s: name another with --out\n",
                         QuotePath(target).c_str());
            return kExitUsage;
        }
    }

    const std::string shown = toStdout ? N_("standard output") : QuotePath(target);
    const std::string partial = toStdout ? target : target + ".part";
    LineFile csv;
    if (!csv.Create(partial)) {
        PrintMessage("velkctl: export: cannot create %s: %s\n", QuotePath(partial).c_str(), strerror(errno));
        return kExitIo;
    }
    uint64_t rows = 0, filteredOut = 0, wideRows = 0;
    size_t columns = 0;
    bool read = options.wide ? WriteWideRows(recording, options.filter, options.signals, &csv, &rows, &filteredOut,
                                             &wideRows, &columns)
                : options.jsonLines ? WriteJsonLines(recording, options.filter, options.signals, &csv, &rows, &filteredOut)
                                    : WriteRows(recording, options.filter, options.signals, &csv, &rows, &filteredOut);
    bool written = csv.Close();
    if (read && written && !toStdout && !MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED)
            PrintMessage("velkctl: export: cannot replace %s: is it open in a spreadsheet? (error %lu)\n", shown.c_str(),
                         error);
        else
            PrintMessage("velkctl: export: cannot replace %s (error %lu)\n", shown.c_str(), error);
        DeleteFileA(partial.c_str());
        return kExitIo;
    }
    if (!read || !written) {
        if (!written)
            PrintMessage("velkctl: export: cannot write %s: %s\n", shown.c_str(), csv.ErrorText().c_str());
        if (!toStdout)
            DeleteFileA(partial.c_str());
        return kExitIo;
    }
    std::string exported = CountOf(rows, "message");
    if (!options.filter.PassesAll())
        exported = FormatText(N_("%s (%llu filtered out)"), exported.c_str(), static_cast<unsigned long long>(filteredOut));
    if (options.wide)
        exported = FormatText(N_("%s as %s of %s"), exported.c_str(), CountOf(wideRows, "row").c_str(),
                              CountOf(columns, "column").c_str());
    PrintMessage("velkctl: exported %s to %s\n", exported.c_str(), shown.c_str());
    return kExitOk;
}
