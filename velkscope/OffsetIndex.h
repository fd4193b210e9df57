// The sparse index of a recording: every kIndexEvery messages, where in the
// file a message line starts, so that "the messages from time t on" is one
// seek and a scan of at most that many lines, whatever the file's size.
// Built by the reading pass, used to read stretches of the file again
// (ReadRecordStretch). Pure logic over stdio.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <functional>
#include <string>
#include <vector>

#include "formats/RecordReader.h"
#include "formats/SeriesReader.h"

enum : uint64_t { kIndexEvery = 1024 };

// A mark: where reading may resume (formats/SeriesReader.h), the start of
// line line + 1 of its part; every message before it has a time at or before
// micros, every one from it on at or after. A recording in parts is one
// series: the mark names its part, so that a stretch is read from that part
// on. In a compressed part, the mark also holds where the gzip member its
// line is in starts (formats/GzipMembers.h), so that reading from it inflates
// from that member, not from the file's start: zooming into the end of a
// long .gz costs what zooming into its start does.
using OffsetMark = SeriesPlace;

class OffsetIndex {
public:
    OffsetIndex() { Clear(); }
    // The file's start (its header comes first): the mark every index has.
    void Clear();
    // Called with each message the pass reads, in order, before it is
    // used (reader: where it was read); notes a mark every kIndexEvery messages.
    void Note(const SeriesReader& reader, uint64_t line, uint64_t micros);
    // Marks handed over from another index (a pass's batch), in order.
    void Append(const std::vector<OffsetMark>& marks);
    // The marks noted since the last call, for a batch: handed over, not
    // kept (only the file's start stays), so a long recording's marks are
    // held once, by the index they go to.
    std::vector<OffsetMark> TakeNew();

    // Where to start reading for the messages from micros on.
    const OffsetMark& MarkFor(uint64_t micros) const;
    // The bytes between the mark for from and the first mark past to
    // (the end of what is indexed when none): what reading [from, to] costs.
    uint64_t BytesBetween(uint64_t from, uint64_t to, uint64_t indexedBytes) const;
    const std::vector<OffsetMark>& Marks() const { return marks_; }

private:
    std::vector<OffsetMark> marks_;
    uint64_t messages_ = 0;
    uint64_t previousMicros_ = 0;
};

// The messages with from <= micros <= to, read by reader (over the parts
// the pass read; start: the series' start it found, null for none) from the
// mark for from, handed to visit in order (visit returns false to stop). Bad
// lines are passed over as the pass passed them. False when a part could not
// be read (or seek): *error says why.
bool ReadRecordStretch(SeriesReader* reader, const WallTime* start, const OffsetIndex& index, uint64_t from,
                       uint64_t to, const std::function<bool(const RecordedMessage&)>& visit, std::string* error);
// The same from a mark, for a reader without the index at hand.
bool ReadRecordStretchFrom(SeriesReader* reader, const WallTime* start, const OffsetMark& mark, uint64_t from,
                           uint64_t to, const std::function<bool(const RecordedMessage&)>& visit, std::string* error);
// One file, open "rb" (the caller closes it).
bool ReadRecordStretch(FILE* file, const std::string& name, const OffsetIndex& index, uint64_t from, uint64_t to,
                       const std::function<bool(const RecordedMessage&)>& visit, std::string* error);
bool ReadRecordStretchFrom(FILE* file, const std::string& name, const OffsetMark& mark, uint64_t from, uint64_t to,
                           const std::function<bool(const RecordedMessage&)>& visit, std::string* error);
