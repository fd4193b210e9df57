// Compressed recordings: the record format (formats/RecordLine.h) through
// zlib as a series of independent gzip members. gzip -d, 7-Zip or Python's
// gzip read such a file whole; a crash loses at most the member being
// written; a reader can start at any member's first byte. Pure logic.
//
// A member holds at most kGzipMemberText bytes of text or the messages of
// kGzipMemberMicros, whichever comes first, and ends only at a whole line.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/PieceBound.h"

enum { kGzipMemberText = 1 << 20 };
const uint64_t kGzipMemberMicros = 1000000;

// Whether a file of this name is written compressed: it ends in ".gz" (any case).
bool NamesCompressedFile(const std::string& path);

// Whether bytes (at a file's start) begin a gzip member: its two magic bytes.
bool IsGzipStart(const char* bytes, size_t size);

// Where compressed bytes go; false when they could not all be written.
using ByteSink = std::function<bool(const char* bytes, size_t size)>;

class GzipMemberWriter {
public:
    explicit GzipMemberWriter(ByteSink sink, size_t memberText = kGzipMemberText,
                              uint64_t memberMicros = kGzipMemberMicros);
    ~GzipMemberWriter();
    GzipMemberWriter(const GzipMemberWriter&) = delete;
    GzipMemberWriter& operator=(const GzipMemberWriter&) = delete;

    // lines: one or more whole lines, each ending in '\n', kept in one
    // member; micros: the time of the message they carry (a comment: the
    // time of the one before). The member at hand ends first when lines
    // would take it past memberText or micros is memberMicros or more past
    // its first time (formats/PieceBound.h). False once the sink has failed
    // (nothing more goes).
    bool Write(const std::string& lines, uint64_t micros);
    // Ends the member at hand when its first time is memberMicros or more
    // before now: a quiet bus leaves nothing unfinished for long.
    bool EndOldMember(uint64_t nowMicros);
    // Ends the member at hand, if any: all written is in whole members.
    bool EndMember();

    // Whether a member is begun and not ended, and its first time.
    bool InMember() const { return open_; }
    uint64_t MemberFirstMicros() const { return firstMicros_; }
    uint64_t Members() const { return members_; }       // ended ones
    uint64_t BytesOut() const { return bytesOut_; }     // what the sink took
    uint64_t EndedBytes() const { return endedBytes_; } // of those, in ended members
    bool Failed() const { return failed_; }

private:
    bool Deflate(const char* bytes, size_t size, int flush);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    ByteSink sink_;
    PieceBound bound_;
    bool open_ = false;
    size_t text_ = 0;               // in the member at hand
    uint64_t firstMicros_ = 0;      // of the member at hand
    uint64_t members_ = 0, bytesOut_ = 0, endedBytes_ = 0;
    bool failed_ = false;
};

// Where a member starts: in the file, and in the text the members hold.
// firstMicros: the time of the first message whose line starts in it, set
// by the record reader once it has read one (hasMessage).
struct GzipMemberMark {
    uint64_t offset;
    uint64_t textOffset;
    uint64_t firstMicros = 0;
    bool hasMessage = false;
};

// Inflates a series of gzip members as they come, in pieces of any size,
// noting where each member starts.
class GzipInflater {
public:
    GzipInflater();
    ~GzipInflater();
    GzipInflater(const GzipInflater&) = delete;
    GzipInflater& operator=(const GzipInflater&) = delete;

    // The next byte given is the first of a member, at offset in the file,
    // its text at textOffset.
    void Restart(uint64_t offset, uint64_t textOffset);
    // Inflates from input (size bytes) into out (room bytes): *used bytes
    // of the input taken, *wrote bytes of text written. False on data that
    // is no gzip member (Fault() says in which member), once the text
    // before it has been given.
    bool Inflate(const char* input, size_t size, size_t* used, char* out, size_t room, size_t* wrote);
    // A member begun and not ended: at the end of the file, a torn one.
    bool InMember() const { return inMember_; }
    // Where in the file the next byte given is: the compressed bytes taken.
    uint64_t Offset() const { return offset_; }
    const std::string& Fault() const { return fault_; }
    // Every member begun so far, in file order.
    std::vector<GzipMemberMark>& Members() { return members_; }

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
    uint64_t offset_ = 0, textOffset_ = 0;
    bool inMember_ = false;
    std::vector<GzipMemberMark> members_;
    std::string fault_;
};

// The member from which to read for the text at textOffset: the last one
// starting at or before it (members in file order, the first at 0).
const GzipMemberMark* MemberBefore(const std::vector<GzipMemberMark>& members, uint64_t textOffset);
