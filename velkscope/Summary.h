// The summary of a source's traces that velkscope keeps instead of their
// samples: per trace a pyramid of buckets, each the count, first, last,
// smallest, largest value and sum of the samples in its stretch of time.
// Level 0's buckets are baseWidth microseconds long, each level above four
// times as long as the one below; only buckets with samples are kept. A
// frame reads at most about four buckets per pixel column from the level
// that fits, so a trace of 10^8 samples draws as fast as one of 10^3, and a
// lone spike is in the min or max of its bucket at every level.
//
// Memory is bounded: every trace of a source shares one base width, and
// when the buckets of all of them take more than the budget, the base width
// doubles (neighbouring buckets merge) until they take half of it. The
// vectors keep their room for what comes next, so they hold at most twice
// the budget. What the
// summary cannot resolve (a view finer than a base bucket, the exact sample
// under a cursor) is read again from the source (velkscope/Source.h).
// Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include "chart/Columns.h"

struct SummaryBucket {
    int64_t index;                          // start = index * the level's width
    uint32_t count;
    double first, last, min, max, sum;

    void Add(double value);
    void Merge(const SummaryBucket& later);
    Column AsColumn() const;
};

// Count, smallest, largest and sum of samples: the statistics between two
// cursors, put together from buckets and samples read again.
struct TraceStats {
    uint64_t count = 0;
    double min = 0, max = 0, sum = 0;

    void Add(double value);
    void Merge(const TraceStats& other);
    double Mean() const { return count == 0 ? 0 : sum / static_cast<double>(count); }
};

enum : size_t {
    kSummaryBudgetBytes = 40 << 20,   // the buckets of one source, at most (then the base doubles)
    kLevelFanout = 4,                 // a bucket of level k + 1 spans this many of level k
    kLevelTopBuckets = 256,           // a level with more buckets gets a level above it
};

class Summary {
public:
    // baseWidth: the first base width (microseconds), the finest the
    // summary will resolve; it widens from there as the buckets fill.
    explicit Summary(size_t budgetBytes = kSummaryBudgetBytes, int64_t baseWidth = 1);

    // A new trace without samples; its number.
    size_t AddTrace();
    size_t Traces() const { return traces_.size(); }
    // A sample; micros (>= 0) in time order for each trace.
    void Add(size_t trace, int64_t micros, double value);

    // A new budget: a smaller one coarsens the buckets at once until they
    // take half of it, and gives back the vectors' room beyond them.
    void SetBudget(size_t budgetBytes);
    size_t Budget() const { return budget_; }
    int64_t BaseWidth() const { return baseWidth_; }
    size_t Bytes() const { return bytes_; }   // of the buckets held
    size_t RoomBytes() const;                 // of the vectors holding them
    uint64_t Samples(size_t trace) const;

    // The trace's columns over [from, to) cut into width equal columns:
    // from the coarsest level whose buckets are no wider than a column.
    // *coarse says that even level 0's are wider (each then fills the
    // columns it spans, and the samples themselves would show more).
    std::vector<Column> Columns(size_t trace, int64_t from, int64_t to, size_t width, bool* coarse) const;

    // The last base bucket holding a sample at or before micros (the one
    // containing micros counts when it has any sample), with its time span
    // [*start, *end); false when none.
    bool LastBucketAtOrBefore(size_t trace, int64_t micros, SummaryBucket* bucket, int64_t* start, int64_t* end) const;
    // The base bucket containing micros: [*start, *end).
    void BucketSpan(int64_t micros, int64_t* start, int64_t* end) const;

    // The statistics of the base buckets lying wholly inside [from, to]
    // (every base bucket from the one after from's to the one before to's).
    TraceStats WholeBucketStats(size_t trace, int64_t from, int64_t to) const;

    // The first and last time with a sample in any trace; false when none.
    bool Extent(int64_t* first, int64_t* last) const;

private:
    struct Level {
        std::vector<SummaryBucket> buckets;   // by index, only those with samples
    };
    // The samples go into the open base bucket; it joins every level when
    // the next sample falls past it, so a sample costs one bucket's update.
    struct Pyramid {
        std::vector<Level> levels;   // 0 the finest; the buckets closed
        SummaryBucket open = {};     // the newest base bucket; count 0: none
        uint64_t samples = 0;
    };

    // The base width 2^shift times as wide, neighbouring buckets merged.
    void Coarsen(unsigned shift);
    unsigned WideningShift() const;
    void Close(Pyramid* pyramid);
    size_t LevelBytes(const Level& level) const;
    TraceStats RangeStats(const Pyramid& pyramid, size_t level, int64_t low, int64_t high) const;

    size_t budget_;
    int64_t baseWidth_ = 1;
    size_t bytes_ = 0;
    std::vector<Pyramid> traces_;
    bool any_ = false;
    int64_t first_ = 0, last_ = 0;
};
