// Reading a recording (the format of formats/RecordLine.h) one message at a
// time. The file is read in chunks and only the line at hand is kept, so
// memory stays the same however long the file is. Pure logic over stdio.
//
// Every reader of record files goes through this one. In velkctl (the
// helpers are in client/InputFile.h):
//
//     FILE* file = OpenInputFile(path);         // "-": standard input, in binary
//     if (file == NULL)
//         return kExitIo;                       // it has said why
//     RecordReader reader(file, InputFileName(path));
//     RecordedMessage message;
//     while (reader.Next(&message))
//         Use(message);                         // in file order, each one checked
//     int status = RecordReadStatus(reader);    // says the notice and the fault on stderr
//     CloseInputFile(file);
//     return status;                            // kExitOk, kExitUsage (a bad line) or kExitIo
//
// Next() is false at the end of the file or at the first fault; a fault ends
// the reading, so stop at once (a command that must not act on a bad file
// reads it through once first, as replay does). What it checks:
// - the first line is the header ('# velk record 1'); anything else is
//   refused as soon as more bytes than the header have come, so a file that
//   is no recording (or never ends, like /dev/zero) costs one chunk;
// - comments (#) and blank lines are skipped; a line longer than any record
//   line is refused without reading the rest of it;
// - each message line parses (ParseRecordLine) and its time is not before
//   the previous line's;
// - a last line without its newline (a recording cut short) is never used:
//   Notice() says "FILE:LINE: last line is incomplete (recording cut short?),
//   skipped" and the reading ends well.
//
// A compressed recording (formats/GzipMembers.h: it starts with gzip's magic
// bytes) is read the same way, its members one after the other. A torn last
// member (the recorder was killed) is read to its last whole line and said
// once in Notice(); data that is no gzip member is a fault (kRecordUnreadable).
// There LineOffset() and Resume() count in the text the members hold, and
// Resume() starts at the last member it knows of before the offset (those it
// has read, or those UseMembers() gave it) and inflates from there.
//
// A viewer that shows what it can (velkscope) reads on past bad lines
// (SkipBadLines), and comes back later for a stretch of the file: each
// message's LineOffset() is where its line starts, and Resume() reads on
// from such an offset as if everything before it had been read.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <memory>
#include <vector>

#include "formats/GzipMembers.h"
#include "formats/RecordLine.h"
#include "formats/RecordParts.h"

enum RecordReadOutcome {
    kRecordReading,       // not at the end yet
    kRecordRead,          // the whole file, every line good
    kRecordMalformed,     // a bad line: FaultLine(), Fault()
    kRecordUnreadable,    // the file could not be read: Fault() says why
};

class RecordReader {
public:
    // file: opened "rb", at its start; name: how messages call it. The
    // reader neither closes it nor reads it beyond what Next() needs.
    RecordReader(FILE* file, const std::string& name, size_t chunkBytes = 1 << 16);
    // A recording in memory, for tests and small texts.
    RecordReader(const std::string& text, const std::string& name, size_t chunkBytes = 1 << 16);
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The next message, with its line number; false at the end or a fault.
    bool Next(RecordedMessage* message);

    RecordReadOutcome Outcome() const { return outcome_; }
    uint64_t FaultLine() const { return faultLine_; }    // 0 when the file could not be read
    const std::string& Fault() const { return fault_; }  // what is wrong
    // "FILE:LINE: what is wrong", or "cannot read FILE: why"; empty when none.
    std::string Error() const;
    // The skipped incomplete last line, said as above; empty when none.
    const std::string& Notice() const { return notice_; }
    uint64_t SkippedLine() const { return skippedLine_; }
    // The first "# start" line's time (formats/RecordLine.h) once read;
    // false while none has been.
    bool Start(WallTime* start) const;
    // A part's part line (formats/RecordParts.h) once read; false for a
    // file that is no part, or while none has been read.
    bool Part(PartLine* part) const;

    // Every byte read from now on is written to copy too: standard input
    // kept for a second pass. ferror(copy) tells whether it all went.
    void CopyTo(FILE* copy) { copy_ = copy; }
    // Back to the file's start for another pass; false when it cannot seek.
    bool Rewind();

    // From now on a bad message line (one that does not parse, one longer
    // than any record line, one whose time is before the previous line's)
    // is counted and passed over instead of ending the reading. The header
    // is still checked: what is not a recording is not read.
    void SkipBadLines() { skipBadLines_ = true; }
    uint64_t BadLines() const { return badLines_; }
    // Next() returns false, still reading, once it has read up to line
    // `line` (bad lines and comments counted): a caller that must answer
    // soon reads a file of nothing but bad lines in bounded steps.
    void PauseAtLine(uint64_t line) { pauseAtLine_ = line; }
    uint64_t LinesRead() const { return lineNumber_; }
    // "FILE:LINE: what is wrong" of the first and the latest line passed over.
    const std::string& FirstBadLine() const { return firstBadLine_; }
    const std::string& LatestBadLine() const { return latestBadLine_; }

    // Where the line of the message Next() last returned starts, in bytes
    // from the start of the file (CR LF, comments and blank lines counted).
    uint64_t LineOffset() const { return lineOffset_; }
    // How far into the file the reading has come, in the file's own bytes
    // (a compressed file's compressed ones): what to weigh against its size.
    uint64_t FileBytesRead() const;
    // Whether a '# trigger' comment (kTriggerMark) came just before that
    // message: record --trigger's mark of the message that fired.
    bool AfterTriggerMark() const { return afterTrigger_; }
    // A message's expired is set when a kExpiredNote came just before it
    // and its payload is '-'.

    // Reads on from offset, the start of line lineNumber + 1, as if the
    // lines before it had been read and the last message among them had
    // the time previousMicros; false when the file cannot seek there.
    bool Resume(uint64_t offset, uint64_t lineNumber, uint64_t previousMicros);

    // A compressed recording: every member read so far, each with the time
    // of its first message (the index to seek with); null for plain text.
    const std::vector<GzipMemberMark>* Members() const;
    // Members another reader of the same file found, for Resume().
    void UseMembers(const std::vector<GzipMemberMark>& members);
    // A compressed file, its header read: reads on from the member starting
    // at byte offset, past every member it has read (one FindMemberBefore()
    // found: formats/MemberSeek.h), as if the lines before it had been read.
    // The lines are then counted from that member's first, and messages call
    // the file "FILE from the block at byte N"; LineOffset() counts the
    // compressed bytes skipped as text. False when the offset is no later
    // member (nothing changed), or when it cannot seek there (a fault).
    bool ResumeAtMember(uint64_t offset);

private:
    enum LineEnd { kLineWhole, kLineCutShort, kLineNone, kLineFault, kLineTooLong };
    LineEnd ReadLine();
    LineEnd SkipRestOfLine();
    bool FillChunk();
    bool FillChunkInflated(size_t* got);
    bool ReadRaw(char* into, size_t room, size_t* got);
    bool Detect();
    std::string TornNotice() const;
    void NoteMemberStart(uint64_t lineOffset, uint64_t micros);
    bool Fail(RecordReadOutcome outcome, uint64_t line, const std::string& what);
    void PassOver(uint64_t line, const std::string& what);
    bool SeekTo(uint64_t offset);

    FILE* file_;               // null when reading text_
    std::string text_;
    size_t textAt_ = 0;
    std::string name_;
    std::string fileName_;     // name_ unless entered at a member
    bool inMember_ = false;    // entered at a member: no header comes
    std::vector<char> chunk_;
    size_t chunkAt_ = 0, chunkEnd_ = 0;
    uint64_t chunkOffset_ = 0;      // of chunk_[0] in the file
    uint64_t lineOffset_ = 0;
    bool endOfFile_ = false;
    FILE* copy_ = nullptr;
    std::string line_;
    uint64_t lineNumber_ = 0;
    uint64_t pauseAtLine_ = UINT64_MAX;
    uint64_t previousMicros_ = 0;
    RecordReadOutcome outcome_ = kRecordReading;
    uint64_t faultLine_ = 0;
    std::string fault_;
    std::string notice_;
    uint64_t skippedLine_ = 0;
    bool hasStart_ = false;
    WallTime start_ = {};
    bool hasPart_ = false;
    PartLine part_;
    bool skipBadLines_ = false;
    uint64_t badLines_ = 0;
    std::string firstBadLine_, latestBadLine_;
    bool triggerPending_ = false, afterTrigger_ = false;
    bool expiredPending_ = false;   // kExpiredNote: the next message's payload had expired
    // Compressed: the file's bytes as read, before inflating.
    bool detected_ = false;
    std::unique_ptr<GzipInflater> gzip_;   // null: plain text
    std::vector<char> raw_;
    size_t rawAt_ = 0, rawEnd_ = 0;
    bool rawDone_ = false;
    uint64_t skipTo_ = 0;        // text before this offset is inflated and passed over
    bool torn_ = false;          // the file ended inside a member
    std::vector<GzipMemberMark> givenMembers_;
};

// A whole recording in memory: the messages in order, or the first fault.
// For tests and small texts; files go through RecordReader.
struct RecordParse {
    std::vector<RecordedMessage> messages;
    uint64_t errorLine = 0;      // 1-based; 0 when the whole text is good
    std::string error;           // what is wrong on that line
    uint64_t skippedLine = 0;    // an incomplete last line left out; 0: none
};
RecordParse ParseRecordText(const std::string& text);
