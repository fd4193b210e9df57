// A communication matrix from anyone, as CSV: every mistake is placed at a
// line and column of the file, in its order; each signal read lies within
// an array; its import is a signal file the loader takes.
#include "tests/fuzz/FuzzTargets.h"

#include <vector>

#include "signals/DbcEncoding.h"
#include "signals/DbcImport.h"
#include "signals/MatrixCsv.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"

void FuzzMatrixCsv(const uint8_t* data, size_t size)
{
    std::string text;
    DbcEncoding taken;
    FUZZ_CHECK(DecodeDbcText(FuzzText(data, size), kDbcAuto, kGbk, &text, &taken));
    // \r\n, \n and a lone \r each end a line.
    uint64_t lines = 1;
    for (size_t i = 0; i < text.size(); ++i)
        lines += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    DbcFile file;
    std::vector<std::string> errors;
    if (!ReadMatrixCsv(text, "f", &file, &errors)) {
        if (errors.size() == 1 && errors[0] == "f: no header row: the file is empty")
            return;
        FuzzCheckDbcErrors(errors, lines);
    }
    for (const DbcMessage& message : file.messages) {
        FUZZ_CHECK(message.line >= 2 && static_cast<uint64_t>(message.line) <= lines);
        FUZZ_CHECK((message.id & ~kDbcExtendedFlag) <= 0x1FFFFFFF && message.dlc <= 65536);
        for (const DbcSignal& signal : message.signals) {
            FUZZ_CHECK(signal.length >= 1 && signal.length <= 64);
            FUZZ_CHECK(DbcSignalFits(signal.startBit, signal.length, signal.motorola));
        }
    }
    DbcImport imported;
    std::string error;
    FUZZ_CHECK(ImportDbc(file, "f", kDbcCodeBase, &imported, &error));
    for (const std::string& line : imported.report) {
        uint64_t at = 0;
        FUZZ_CHECK(FuzzPlaced(line, lines, false, &at));
    }
    SignalDatabase database;
    FUZZ_CHECK(LoadSignalFile(imported.toml, "rig.toml", &database, &errors));
    FUZZ_CHECK(database.Messages().size() == imported.messages && database.SignalCount() == imported.signals);
}
