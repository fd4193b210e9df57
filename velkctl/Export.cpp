#include "velkctl/Export.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "common/FormatText.h"
#include "velkctl/CommandOutcome.h"
#include "formats/CsvExport.h"
#include "client/SignalsOption.h"
#include "signals/SignalCsv.h"
#include "client/InputFile.h"
#include "windows/LineFile.h"
#include "formats/RecordReader.h"
#include "velkctl/Replay.h"
#include "windows/SystemCodePage.h"

namespace {

// session.txt -> session.csv; a name without an extension gains one.
std::string CsvPathFor(const std::string& path)
{
    size_t name = path.find_last_of("\\/:");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name) || dot == name + 1)
        return path + ".csv";
    return path.substr(0, dot) + ".csv";
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

// The rows of the checked recording into csv; false when the file changed
// since the check (said on stderr).
bool WriteRows(const CheckedRecording& recording, const MessageFilter& filter, const SignalDatabase* signals,
               LineFile* csv, uint64_t* rows, uint64_t* filteredOut)
{
    const SignalCodePages pages = WindowsSignalCodePages();
    RecordReader reader(recording.file, recording.name);
    RecordedMessage message;
    // The start line comes before the messages: known once the first is read.
    bool more = reader.Rewind() && reader.Next(&message);
    WallTime start;
    const WallTime* known = reader.Start(&start) ? &start : NULL;
    // LineFile ends each line with "\n".
    csv->Add(kCsvByteOrderMark + FormatCsvHeader(known, signals != NULL) + '\r');
    for (; more; more = reader.Next(&message)) {
        if (!filter.Passes(message.code)) {
            ++*filteredOut;
            continue;
        }
        ++*rows;
        if (signals == NULL) {
            csv->Add(FormatCsvRow(message, known, SystemCodePage()) + '\r');
            continue;
        }
        std::vector<CsvSignalCells> cells = SignalCsvCells(*signals, message, pages);
        if (cells.empty())
            cells.push_back(CsvSignalCells());
        for (const CsvSignalCells& one : cells)
            csv->Add(FormatCsvRow(message, known, SystemCodePage(), &one) + '\r');
    }
    if (reader.Outcome() != kRecordRead) {
        fprintf(stderr, "velkctl: export: %s changed after it was checked: %s\n", recording.name.c_str(),
                reader.Error().c_str());
        return false;
    }
    return true;
}

} // namespace

int ExportRecording(const ExportOptions& options)
{
    const bool fromStdin = options.path == "-";
    std::string target = !options.out.empty() ? options.out : fromStdin ? "-" : CsvPathFor(options.path);
    const bool toStdout = target == "-";
    if (!fromStdin && !toStdout && SameFile(options.path, target)) {
        fprintf(stderr, "velkctl: export: the CSV would replace the recording %s: name another with --out\n",
                QuotePath(target).c_str());
        return kExitUsage;
    }

    CheckedRecording recording;
    int status = CheckRecording(options.path, &recording);
    if (status != kExitOk)
        return status;

    const std::string shown = toStdout ? "standard output" : QuotePath(target);
    const std::string partial = toStdout ? target : target + ".part";
    LineFile csv;
    if (!csv.Create(partial)) {
        fprintf(stderr, "velkctl: export: cannot create %s: %s\n", QuotePath(partial).c_str(), strerror(errno));
        CloseInputFile(recording.file);
        return kExitIo;
    }
    uint64_t rows = 0, filteredOut = 0;
    bool read = WriteRows(recording, options.filter, options.signals, &csv, &rows, &filteredOut);
    CloseInputFile(recording.file);
    bool written = csv.Close();
    int writeError = errno;
    if (read && written && !toStdout && !MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = GetLastError();
        fprintf(stderr, "velkctl: export: cannot replace %s%s (error %lu)\n", shown.c_str(),
                error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? ": is it open in a spreadsheet?" : "",
                error);
        DeleteFileA(partial.c_str());
        return kExitIo;
    }
    if (!read || !written) {
        if (!written)
            fprintf(stderr, "velkctl: export: cannot write %s: %s\n", shown.c_str(), strerror(writeError));
        if (!toStdout)
            DeleteFileA(partial.c_str());
        return kExitIo;
    }
    std::string filtered = options.filter.PassesAll() ? std::string()
                                                      : " (" + std::to_string(filteredOut) + " filtered out)";
    fprintf(stderr, "velkctl: exported %s%s to %s\n", CountOf(rows, "message").c_str(), filtered.c_str(), shown.c_str());
    return kExitOk;
}
