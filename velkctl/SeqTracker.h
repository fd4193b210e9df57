// Loss across machines, per origin: each bridge numbers its lines from 1 in
// a run of its own, and the receiving bridge tells from the numbers what
// went missing, what came twice and what came late. Pure logic.
#pragma once
#include <stdint.h>
#include <map>
#include <string>
#include <vector>

enum SeqVerdict {
    kSeqInOrder,      // the next one, or the first heard of a run
    kSeqGap,          // came after a gap: missing more are now counted lost
    kSeqLate,         // older than the newest and not seen before: posted, one lost fewer
    kSeqDuplicate,    // seen before, or too old to tell: not posted
    kSeqJump,         // further ahead of the newest than the window: suspect (a stranger
                      // reusing the origin and run?); a fresh window starts, nothing counted lost
};

struct SeqEvent {
    SeqVerdict verdict;
    bool newRun;              // the first line of a run (a bridge started or restarted)
    uint64_t missing;         // kSeqGap: how many went missing before this one
    uint64_t newest;          // the newest seq of the run before this line
    std::string previousRun;  // newRun: the run it follows, if any
};

struct OriginCounts {
    uint64_t received = 0;    // lines of the origin, duplicates included
    uint64_t lost = 0;        // numbers never seen (so far: a late one takes one back)
    uint64_t duplicates = 0;
    uint64_t late = 0;        // came after a newer one (reordered)
    uint64_t runs = 0;
    uint64_t jumps = 0;       // kSeqJump lines
};

class SeqTracker {
public:
    // Numbers further back than this behind the newest can no longer be told
    // apart and count as duplicates.
    enum { kWindow = 1 << 16 };
    // Origins told apart at most; the window costs 8 KiB each.
    enum { kMaxOrigins = 1024 };

    // Whether a line of origin would be one origin too many.
    bool Full(const std::string& origin) const { return runs_.size() >= kMaxOrigins && runs_.count(origin) == 0; }

    SeqEvent Note(const std::string& origin, const std::string& run, uint64_t seq);
    const std::map<std::string, OriginCounts>& Counts() const { return counts_; }
    OriginCounts Total() const;

private:
    struct Run {
        std::string id;
        uint64_t first = 0;
        uint64_t newest = 0;
        std::vector<uint64_t> seen;   // a ring of kWindow bits, indexed by seq
    };
    bool Seen(const Run& run, uint64_t seq) const;
    void Mark(Run* run, uint64_t seq);

    std::map<std::string, Run> runs_;
    std::map<std::string, OriginCounts> counts_;
};
