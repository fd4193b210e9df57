// Where velkctl record writes: one file, or with --split a series of parts
// (formats/RecordParts.h), each a whole recording with its own header. A
// part ends when the next message would take it past the bound; it is
// flushed and closed before the next is made, so every message is in
// exactly one part. With --keep, the oldest finished parts beyond the
// budget are deleted as each new part begins. Parts of the same name an
// earlier recording left are deleted before the first is made.
#pragma once
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "common/LocalTime.h"
#include "formats/PieceBound.h"
#include "formats/RecordParts.h"
#include "windows/LineFile.h"

class RecordSeries {
public:
    // split.bytes and split.micros 0: one file, path itself.
    RecordSeries(const std::string& path, bool compressed, const PieceBound& split, const KeepBudget& keep);
    RecordSeries(const RecordSeries&) = delete;
    RecordSeries& operator=(const RecordSeries&) = delete;

    // The first file with its header, before anything is received; false
    // with the fault said.
    bool Open(const WallTime& start);

    // Whether a message's lines (lineBytes, micros since the series began)
    // go into a new part; then NextPart() before they are added.
    bool StartsNewPart(uint64_t lineBytes, uint64_t micros) const;
    // The part at hand closed and the next made at micros; false when the
    // part could not be written whole or the next not be made (the
    // recording ends: Close() and Fault() say).
    bool NextPart(uint64_t micros);
    // Where the part at hand begins in the series: its lines' times are
    // counted from here.
    uint64_t PartMicros() const { return partMicros_; }

    LineFile& File() { return *file_; }
    bool Failed() const { return file_->Failed() || !createError_.empty(); }
    // Closes the part at hand; false when anything failed.
    bool Close();
    // What went wrong, with the file's name, for "velkctl: cannot ...".
    std::string Fault() const;

    // Messages in the files, headers not counted, the deleted parts' included.
    uint64_t Written() const;
    // The file or parts written, for the summary: "run.txt",
    // "run-0001.txt", "3 parts, run-0001.txt to run-0003.txt".
    std::string Describe() const;
    // The file, or the first part.
    std::string FirstName() const { return Split() ? PartName(series_, 1) : path_; }
    // Parts --keep deleted, and the oldest and newest of them.
    unsigned Deleted() const { return deleted_; }
    std::string FirstDeleted() const;
    std::string LastDeleted() const;

private:
    bool Split() const { return split_.bytes != 0 || split_.micros != 0; }
    bool OpenFile(unsigned number, uint64_t micros);
    bool DeleteEarlierParts();
    void Keep();

    struct Finished {
        std::string name;
        uint64_t bytes;
    };

    std::string path_;
    bool compressed_;
    PieceBound split_;
    KeepBudget keep_;
    PartSeries series_;
    WallTime start_ = {};
    std::unique_ptr<LineFile> file_;
    std::string name_;              // of the file at hand
    unsigned number_ = 0;           // of the part at hand
    uint64_t partMicros_ = 0;
    uint64_t headerLines_ = 0;      // the part at hand's header
    uint64_t closedWritten_ = 0;    // messages in closed parts
    std::vector<Finished> finished_;   // closed parts not deleted, the oldest first
    unsigned deleted_ = 0;
    unsigned firstDeleted_ = 0, lastDeleted_ = 0;
    std::string createError_;
};
