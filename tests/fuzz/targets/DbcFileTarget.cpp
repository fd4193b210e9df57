// A DBC file from anyone: every mistake is placed at a line of the file, in
// its order; what is read is within the grammar's bounds; its import is a
// signal file the loader takes, each report line placed in the file.
#include "tests/fuzz/FuzzTargets.h"

#include <algorithm>
#include <vector>

#include "signals/DbcEncoding.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"

bool FuzzPlaced(const std::string& text, uint64_t lines, bool column, uint64_t* line)
{
    if (text.compare(0, 2, "f:") != 0)
        return false;
    size_t at = 2;
    uint64_t numbers[2] = { 0, 0 };
    for (int n = 0; n < (column ? 2 : 1); ++n) {
        const size_t start = at;
        while (at < text.size() && at - start < 10 && text[at] >= '0' && text[at] <= '9')
            numbers[n] = numbers[n] * 10 + static_cast<uint64_t>(text[at++] - '0');
        if (at == start || at >= text.size() || text[at++] != ':')
            return false;
    }
    *line = numbers[0];
    return numbers[0] >= 1 && numbers[0] <= lines && (!column || numbers[1] >= 1) && text.compare(at, 1, " ") == 0 &&
           text.size() > at + 1;
}

void FuzzCheckDbcErrors(const std::vector<std::string>& errors, uint64_t lines)
{
    size_t placed = errors.size();
    if (errors.back() == "f: more errors left out (the first 50 are shown)") {
        FUZZ_CHECK(errors.size() == kMaxDbcErrors + 1);
        --placed;
    }
    FUZZ_CHECK(placed >= 1 && placed <= kMaxDbcErrors);
    uint64_t last = 0;
    for (size_t i = 0; i < placed; ++i) {
        uint64_t line = 0;
        FUZZ_CHECK(FuzzPlaced(errors[i], lines, true, &line));
        FUZZ_CHECK(line >= last);
        last = line;
    }
}

void FuzzDbcFile(const uint8_t* data, size_t size)
{
    // The bytes as the command takes them: UTF-8, else GBK, else Latin-1.
    std::string text;
    DbcEncoding taken;
    FUZZ_CHECK(DecodeDbcText(FuzzText(data, size), kDbcAuto, kGbk, &text, &taken));
    const uint64_t lines = static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    DbcFile file;
    std::vector<std::string> errors;
    if (!ReadDbcFile(text, "f", &file, &errors))
        FuzzCheckDbcErrors(errors, lines);
    for (const DbcMessage& message : file.messages) {
        FUZZ_CHECK(message.line >= 1 && static_cast<uint64_t>(message.line) <= lines);
        for (const DbcSignal& signal : message.signals) {
            FUZZ_CHECK(signal.length >= 1 && signal.startBit / 8 < 65536);
            FUZZ_CHECK(!signal.multiplexed || signal.muxValue < 10000000000000000000ull);
        }
    }
    // What was read imports into a file the loader takes, whatever it was.
    DbcImport imported;
    std::string error;
    const bool fits = DbcCodeBaseProblem(kDbcCodeBase, file.messages.size()).empty();
    FUZZ_CHECK(ImportDbc(file, "f", kDbcCodeBase, &imported, &error) || !fits);
    if (!fits)
        return;
    FUZZ_CHECK(imported.messages <= file.messages.size());
    for (const std::string& line : imported.report) {
        uint64_t at = 0;
        FUZZ_CHECK(line.compare(0, 3, "f:0") == 0 || FuzzPlaced(line, lines, false, &at));
    }
    SignalDatabase database;
    FUZZ_CHECK(LoadSignalFile(imported.toml, "rig.toml", &database, &errors));
    FUZZ_CHECK(database.Messages().size() == imported.messages && database.SignalCount() == imported.signals);
}
