// A recording split into parts: FILE's parts are NAME-0001.EXT,
// NAME-0002.EXT, ... (the number four digits wide, wider past 9999), each a
// whole recording of its own; and which finished parts a budget keeps.
// Pure logic over names and sizes.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "common/LocalTime.h"
#include "formats/PieceBound.h"

// A series: everything before the part number (the folder included) and
// the extension after it. "logs/run.rec.gz" -> { "logs/run", ".rec.gz" }:
// ".gz" takes the extension before it along; a leading dot is no extension.
struct PartSeries {
    std::string stem;
    std::string extension;
};

enum { kMaxPartNumber = 999999 };

PartSeries SeriesOfFile(const std::string& path);

// "logs/run-0001.rec.gz"; number 1 to kMaxPartNumber.
std::string PartName(const PartSeries& series, unsigned number);

// The number of path in series, written as PartName writes it (four
// digits, more only past 9999); 0 when path is no part of series.
unsigned PartNumber(const PartSeries& series, const std::string& path);

// The series and number of a path that is a part ("run-0003.rec"); false
// for any other name.
bool SeriesOfPart(const std::string& path, PartSeries* series, unsigned* number);

// The parts of series among paths, in the order of their numbers.
std::vector<std::string> PartsAmong(const PartSeries& series, const std::vector<std::string>& paths);

// --keep: at most bytes (all parts together) or count parts, the one being
// written among them; 0: no bound of that kind.
struct KeepBudget {
    uint64_t bytes = 0;
    uint64_t count = 0;
};

// Which finished parts (their sizes, the oldest first) to delete: the
// oldest ones until the rest and the part being written (writingBytes) fit
// the budget. The part being written is never deleted, so it alone may be
// over the budget. The answer is how many, from the oldest.
size_t PartsToDelete(const std::vector<uint64_t>& finishedBytes, uint64_t writingBytes, const KeepBudget& budget);

// A size: a whole number and a unit B, KiB, MiB, GiB or TiB ("256MiB"),
// 1 byte to 1024 TiB; false for anything else.
bool ParseByteSize(const std::string& text, uint64_t* bytes);

// --split SIZE|DURATION: a size (at least kMinSplitBytes) or a duration
// (formats/Duration.h, at least a second); false with "bad --split ..." in
// *error.
const uint64_t kMinSplitBytes = 1 << 20;
bool ParseSplit(const std::string& text, PieceBound* bound, std::string* error);

// --keep SIZE|COUNT: a size, or a number of parts 1 to kMaxPartNumber; false
// with "bad --keep ..." in *error.
bool ParseKeep(const std::string& text, KeepBudget* budget, std::string* error);

// The third line of a part's header, after its start line:
// "# part 2, 3600.000123 s into the series started 2026-12-08T17:12:03.123+08:00".
// A comment, so a reader of single recordings passes over it.
std::string FormatPartLine(unsigned number, uint64_t seriesMicros, const WallTime& seriesStart);

// What a part line says; false for any other line.
struct PartLine {
    unsigned number = 0;
    uint64_t seriesMicros = 0;   // where the part starts on the series' time axis
    WallTime seriesStart = {};
};
bool ParsePartLine(const std::string& line, PartLine* part);
