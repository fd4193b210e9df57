// The one pass over a recording that velkscope makes when it opens one: the
// file (or the parts of a series, as one) read in order through the record reader (bad lines passed over and
// counted, a last line cut short left out), each message decoded once and
// turned into the samples of its code's traces and checked (its counter and
// checksum, in file order), the sparse offset index noted, the trigger marks
// found. It hands what it read over in batches, so
// that a worker thread can read while the window draws what has come
// (velkscope/PassWorker.h). Pure logic over stdio.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/SeriesReader.h"
#include "velkscope/OffsetIndex.h"
#include "velkscope/Source.h"

struct PassSample {
    int64_t micros;
    uint32_t code;
    size_t signal;    // kRawTrace or the signal's index
    double value;
};

struct PassLatest {
    ScopeMessage message;   // the code's last message in the batch
    uint64_t count;         // how many of the code's came in it
    FaultCounts faults;     // found among them
};

struct PassBatch {
    std::vector<PassLatest> latest;         // by code, in the order they first came (the listed codes only)
    uint64_t unlisted = 0;                  // messages of codes past the first kMaxCodes: only counted
    std::vector<PassSample> samples;        // in file order
    std::vector<OffsetMark> marks;          // new marks of the index
    std::vector<uint64_t> triggers;         // times of messages after a '# trigger' line
    uint64_t bytes = 0;                     // read so far, of the text
    uint64_t fileBytes = 0;                 // read so far, of the files as on disk (compressed or not)
    uint64_t messages = 0;                  // so far
    uint64_t badLines = 0;                  // passed over so far
    std::string latestBadLine;              // "FILE:LINE: what", the latest of them
    bool startKnown = false;
    WallTime start = {};
    bool done = false;                      // the recording has ended (or cannot be read, or the pass was cancelled)
    bool cancelled = false;                 // stopped before the end, on request
    std::string error;                      // not a recording, or unreadable: nothing more comes
    std::string notice;                     // the last line was cut short
};

class RecordingPass {
public:
    // reader: over the recording's parts, one after the other on one time
    // axis (formats/SeriesReader.h). signals (null: none) must outlive the pass.
    RecordingPass(std::unique_ptr<SeriesReader> reader, const SignalDatabase* signals, const SignalCodePages& pages,
                  ArrayValue arrayValue);
    // One file: opened "rb" at its start, kept open by the caller; name: how
    // messages call it.
    RecordingPass(FILE* file, const std::string& name, const SignalDatabase* signals, const SignalCodePages& pages,
                  ArrayValue arrayValue);

    // Up to maxMessages more messages, and at most kBatchLines lines and
    // kBatchSamples samples: a batch's work and memory are bounded however
    // many codes, traces or bad lines the file has.
    PassBatch Next(size_t maxMessages);
    enum : size_t { kBatchLines = 65536, kBatchSamples = 65536 };
    bool Done() const { return done_; }

private:
    std::unique_ptr<SeriesReader> reader_;
    const SignalDatabase* signals_;
    SignalCodePages pages_;
    ArrayValue arrayValue_;
    OffsetIndex index_;
    MessageChecks checks_;
    struct Code {
        std::vector<size_t> traces;   // TracesOfCode
        uint64_t batch = 0;           // the batch it last came in
        size_t latest = 0;            // its entry in that batch's latest
    };
    // The code's entry; a small cache in front of the map, as a recording
    // holds few codes and each message asks. Null for a code past the first
    // kMaxCodes (the source lists only those): the map stays bounded, and a
    // new code costs the same however many came before.
    Code* CodeOf(uint32_t code, const SignalMessage* known);

    std::unordered_map<uint32_t, Code> codes_;
    struct Cached { uint32_t code; Code* entry; };
    Cached cache_[64] = {};
    uint64_t batches_ = 0;
    uint64_t messages_ = 0;
    bool done_ = false;
};
