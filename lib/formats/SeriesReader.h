// Reading a recording that may be in parts (formats/RecordParts.h) as one:
// the parts one after the other, each checked as RecordReader checks a file,
// their messages on the series' one time axis. A part's times count from its
// own start; its part line says where that is in the series (a part without
// one, a recording of its own among others, is placed by its start line),
// so the time between two parts, a missing part's included, is a gap.
//
// What does not join is a fault that names the part: a part of another
// series (a later run in the same name), or one whose first message comes
// before the previous part's last. Each part is opened when it is reached
// and closed when it is read, so a series of any length holds one file open.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/RecordReader.h"

// Where a reading of a series may resume, as an earlier reading of the same
// parts noted it: part `part` (placed at partMicros on the series' axis,
// after partBytes of the text of the parts before it), from offset in it, the
// start of line line + 1; every message before has a time at or before
// micros (on the series' axis). In a compressed part, where the gzip member
// that line is in starts (formats/GzipMembers.h); 0: the first, or plain.
struct SeriesPlace {
    uint64_t offset;
    uint64_t line;
    uint64_t micros;
    uint64_t memberOffset = 0;   // in the file
    uint64_t memberText = 0;     // where that member's text starts
    uint32_t part = 0;
    uint64_t partMicros = 0;
    uint64_t partBytes = 0;
};

// Opens a part "rb"; null with why in *why. The reader closes it.
using PartOpener = std::function<FILE*(const std::string& path, std::string* why)>;
// How messages call a part ("FILE:LINE: ...").
using PartNamer = std::function<std::string(const std::string& path)>;

class SeriesReader {
public:
    // One file, open already (standard input or its copy): read as
    // RecordReader reads it; the caller closes it.
    SeriesReader(FILE* file, const std::string& name);
    // The parts in their order (one or more).
    SeriesReader(const std::vector<std::string>& parts, PartOpener open, PartNamer name);
    ~SeriesReader();
    SeriesReader(const SeriesReader&) = delete;
    SeriesReader& operator=(const SeriesReader&) = delete;

    // The next message, its time on the series' axis, its line number in
    // its part; false at the end or at the first fault.
    bool Next(RecordedMessage* message);

    RecordReadOutcome Outcome() const { return outcome_; }
    uint64_t FaultLine() const { return faultLine_; }
    // "PART:LINE: what is wrong", or "cannot read PART: why"; empty when none.
    const std::string& Error() const { return error_; }
    // What was passed over (a part cut short, a torn last member), a line
    // for each part that had it; empty when none.
    const std::string& Notice() const { return notice_; }
    // The series' start (a part's start line minus where it starts) once
    // its first message is read.
    bool Start(WallTime* start) const;
    // The part Next() last read from, as messages call it.
    const std::string& PartName() const { return partName_; }
    size_t Parts() const { return paths_.empty() ? 1 : paths_.size(); }
    // Whether the message Next() last returned came after a '# trigger' line.
    bool AfterTriggerMark() const { return reader_ != nullptr && reader_->AfterTriggerMark(); }

    // Only the messages from `from` to `to` (on the series' axis; to
    // UINT64_MAX: to the end): parts that end before `from` are passed over
    // unread, each known by where the next one starts, a compressed part
    // that holds it is entered at a member before it (formats/MemberSeek.h),
    // the members before that unread, and the reading ends at the first
    // message after `to`.
    void Window(uint64_t from, uint64_t to)
    {
        from_ = from;
        to_ = to;
    }

    // A viewer's reading (velkscope): each part's bad lines are passed over
    // and counted (RecordReader::SkipBadLines), and Next() returns false,
    // still reading, once line `line` of the whole series is read.
    void SkipBadLines() { skipBadLines_ = true; }
    void PauseAtLine(uint64_t line) { pauseAtLine_ = line; }
    uint64_t LinesRead() const { return linesBefore_ + (reader_ != nullptr ? reader_->LinesRead() : 0); }
    uint64_t BadLines() const { return badBefore_ + (reader_ != nullptr ? reader_->BadLines() : 0); }
    const std::string& LatestBadLine() const;
    // Where the message Next() last returned is: a place to resume from.
    uint32_t PartIndex() const { return static_cast<uint32_t>(at_); }
    uint64_t PartMicros() const { return offset_; }
    uint64_t PartBytes() const { return bytesBefore_; }
    uint64_t LineOffset() const { return reader_ != nullptr ? reader_->LineOffset() : 0; }
    // The files' own bytes read so far, compressed ones as they are on
    // disk, over the parts read (after Resume(), from its part on): a
    // progress to weigh against the parts' sizes together.
    uint64_t FileBytesRead() const { return fileBytesBefore_ + (reader_ != nullptr ? reader_->FileBytesRead() : 0); }
    const std::vector<GzipMemberMark>* Members() const { return reader_ != nullptr ? reader_->Members() : nullptr; }
    // Reads on from place, as if everything before it had been read; start
    // (null: none was known) is the series' start that reading found.
    // False when the part cannot be opened or seek there: Error() says why.
    bool Resume(const SeriesPlace& place, const WallTime* start);

    // One file only: every byte read is copied (formats/RecordReader.h).
    void CopyTo(FILE* copy) { copy_ = copy; }
    // Back to the first part's start; false when it cannot be.
    bool Rewind();

private:
    bool OpenPart();
    bool PartStartsBy(size_t index, uint64_t micros) const;
    void EnterAtWindow();
    void ClosePart();
    bool Place();
    bool Fail(RecordReadOutcome outcome, uint64_t line, const std::string& error);

    FILE* single_ = nullptr;
    std::vector<std::string> paths_;
    PartOpener open_;
    PartNamer name_;
    FILE* copy_ = nullptr;
    size_t at_ = 0;                    // the part at hand
    FILE* file_ = nullptr;             // its file, when this reader opened it
    std::unique_ptr<RecordReader> reader_;
    std::string partName_;
    bool placed_ = false;              // the part's offset is known
    bool entered_ = false;             // the window's start looked for in the part
    uint64_t offset_ = 0;              // of the part at hand on the series' axis
    bool hasStart_ = false;
    WallTime start_ = {};              // the series'
    uint64_t previousMicros_ = 0;
    std::string previousPart_;
    uint64_t from_ = 0, to_ = UINT64_MAX;
    bool skipBadLines_ = false;
    uint64_t pauseAtLine_ = UINT64_MAX;
    uint64_t linesBefore_ = 0, badBefore_ = 0, bytesBefore_ = 0;   // of the parts read before the one at hand
    uint64_t fileBytesBefore_ = 0;
    std::string latestBadLine_;
    RecordReadOutcome outcome_ = kRecordReading;
    uint64_t faultLine_ = 0;
    std::string error_, notice_;
};
