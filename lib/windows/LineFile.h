// A file written in whole lines: lines are kept until Flush() or until the
// buffer is full, then handed to the system in one write, so a process that
// is killed leaves its file ending at a line's end (at most the one line the
// system was writing when the process died torn), never cut inside a buffer.
// A write that fails part way (a full disk) cuts the file back to the end
// of the last Add that went out whole.
//
// Compressed (formats/GzipMembers.h), the lines go out in whole gzip
// members instead: a member ends at 1 MiB of text, or at the first Add or
// Flush() a second or more after its first Add (MemberDueTicks() says when
// that is, for a timer), and only ended members are
// written, so a kill loses the member at hand at most and a full disk cuts
// the file back to the last whole member.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <memory>
#include <string>
#include <vector>

#include "formats/GzipMembers.h"

class LineFile {
public:
    LineFile() {}
    ~LineFile() { Close(); }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Made (emptied if it is there); "-": standard output, in binary. False
    // with errno set when it cannot be made.
    bool Create(const std::string& path, bool compressed = false);
    // lines (one, or several joined by '\n') and a newline, kept together:
    // they reach the file whole or not at all. Written out when the buffer
    // is full.
    void Add(const std::string& lines);
    // What is kept goes out now (compressed: the members ended, a second
    // old included); false once any write has failed.
    bool Flush();
    // The same with the member at hand ended first: everything goes out.
    bool FlushAll();
    // Flushes and closes (standard output stays open); false when anything
    // failed, with errno saying what (ENOSPC for a full disk).
    bool Close();

    // Compressed: when the member at hand is a second old and Flush() ends
    // it (on ClockTicks), so a timer keeps the loss of a kill within that
    // second; UINT64_MAX when no member is begun.
    uint64_t MemberDueTicks() const;

    bool Failed() const { return failed_; }
    // Adds so far, and those whose lines are all in the file.
    uint64_t Added() const { return added_; }
    uint64_t Written() const { return written_; }
    // The file's size once what is kept goes out (compressed: the text
    // still in the compressor not counted).
    uint64_t Bytes() const { return fileBytes_ + pending_.size(); }
    // What the failure was: "disk full", or the system's words.
    std::string ErrorText() const;

private:
    void Fail(unsigned long systemError);
    void EndUnit(size_t end, uint64_t adds);
    void NoteEndedMember();

    struct Unit {
        size_t end;      // in pending_
        uint64_t adds;   // the Adds whose lines it ends
    };

    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    bool failed_ = false;
    int error_ = 0;                  // errno of the failure
    bool diskFull_ = false;
    std::string pending_;
    std::vector<Unit> ends_;         // what goes out whole: each Add, or each member
    std::unique_ptr<GzipMemberWriter> gzip_;   // null: plain text
    uint64_t members_ = 0;           // ended ones
    uint64_t pendingOrigin_ = 0;     // the writer's BytesOut() at pending_[0]
    uint64_t inMember_ = 0;          // Adds in the member at hand
    uint64_t clockStart_ = 0;
    uint64_t fileBytes_ = 0;         // bytes of whole Adds in the file
    uint64_t added_ = 0, written_ = 0;
};
