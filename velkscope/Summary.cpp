#include "velkscope/Summary.h"

#include <algorithm>

namespace {

// Floor, not truncation: a view may start before 0.
int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The first bucket of index index or later.
std::vector<SummaryBucket>::const_iterator FirstFrom(const std::vector<SummaryBucket>& buckets, int64_t index)
{
    return std::lower_bound(buckets.begin(), buckets.end(), index,
                            [](const SummaryBucket& bucket, int64_t at) { return bucket.index < at; });
}

const int64_t kMostBaseWidth = INT64_MAX / 1024;

} // namespace

void SummaryBucket::Add(double value)
{
    if (count == 0) {
        first = min = max = value;
        sum = 0;
    } else {
        min = std::min(min, value);
        max = std::max(max, value);
    }
    last = value;
    sum += value;
    if (count != UINT32_MAX)
        ++count;
}

void SummaryBucket::Merge(const SummaryBucket& later)
{
    if (later.count == 0)
        return;
    if (count == 0) {
        const int64_t keep = index;
        *this = later;
        index = keep;
        return;
    }
    min = std::min(min, later.min);
    max = std::max(max, later.max);
    last = later.last;
    sum += later.sum;
    count = later.count > UINT32_MAX - count ? UINT32_MAX : count + later.count;
}

Column SummaryBucket::AsColumn() const
{
    Column column;
    column.count = count;
    column.first = first;
    column.last = last;
    column.min = min;
    column.max = max;
    return column;
}

void TraceStats::Add(double value)
{
    min = count == 0 ? value : std::min(min, value);
    max = count == 0 ? value : std::max(max, value);
    sum += value;
    ++count;
}

void TraceStats::Merge(const TraceStats& other)
{
    if (other.count == 0)
        return;
    min = count == 0 ? other.min : std::min(min, other.min);
    max = count == 0 ? other.max : std::max(max, other.max);
    sum += other.sum;
    count += other.count;
}

Summary::Summary(size_t budgetBytes, int64_t baseWidth)
    : budget_(budgetBytes), baseWidth_(std::min(std::max<int64_t>(baseWidth, 1), kMostBaseWidth))
{
}

void Summary::SetBudget(size_t budgetBytes)
{
    const bool smaller = budgetBytes < budget_;
    budget_ = budgetBytes;
    if (!smaller)
        return;
    while (bytes_ > budget_ / 2 && baseWidth_ < kMostBaseWidth)
        Coarsen(WideningShift());
    for (Pyramid& pyramid : traces_) {
        for (Level& level : pyramid.levels)
            level.buckets.shrink_to_fit();
    }
}

size_t Summary::RoomBytes() const
{
    size_t room = 0;
    for (const Pyramid& pyramid : traces_) {
        for (const Level& level : pyramid.levels)
            room += level.buckets.capacity() * sizeof(SummaryBucket);
    }
    return room;
}

size_t Summary::AddTrace()
{
    traces_.emplace_back();
    traces_.back().levels.resize(1);
    return traces_.size() - 1;
}

uint64_t Summary::Samples(size_t trace) const
{
    return traces_[trace].samples;
}

size_t Summary::LevelBytes(const Level& level) const
{
    return level.buckets.size() * sizeof(SummaryBucket);
}

void Summary::Add(size_t trace, int64_t micros, double value)
{
    micros = std::max<int64_t>(micros, 0);
    Pyramid& pyramid = traces_[trace];
    ++pyramid.samples;
    first_ = any_ ? std::min(first_, micros) : micros;
    last_ = any_ ? std::max(last_, micros) : micros;
    any_ = true;
    const int64_t index = micros / baseWidth_;
    // Out of order (never from a reader that checks the order): into the open bucket.
    if (pyramid.open.count != 0 && pyramid.open.index < index) {
        Close(&pyramid);
        if (bytes_ > budget_) {
            // Well below the budget again, so that the next widening is far off.
            while (bytes_ > budget_ / 2 && baseWidth_ < kMostBaseWidth)
                Coarsen(WideningShift());
        }
    }
    if (pyramid.open.count == 0)
        pyramid.open.index = micros / baseWidth_;
    pyramid.open.Add(value);
}

// The open bucket goes into every level, and a level grown too long to read
// whole gets one above it.
void Summary::Close(Pyramid* pyramid)
{
    const SummaryBucket& closed = pyramid->open;
    for (size_t k = 0; k < pyramid->levels.size(); ++k) {
        std::vector<SummaryBucket>& buckets = pyramid->levels[k].buckets;
        const int64_t at = closed.index >> (2 * k);
        if (buckets.empty() || buckets.back().index < at) {
            SummaryBucket bucket = {};
            bucket.index = at;
            buckets.push_back(bucket);
            bytes_ += sizeof(SummaryBucket);
        }
        buckets.back().Merge(closed);
    }
    pyramid->open = SummaryBucket();
    if (pyramid->levels.back().buckets.size() > kLevelTopBuckets) {
        Level above;
        for (const SummaryBucket& bucket : pyramid->levels.back().buckets) {
            const int64_t at = bucket.index / static_cast<int64_t>(kLevelFanout);
            if (above.buckets.empty() || above.buckets.back().index != at) {
                SummaryBucket merged = {};
                merged.index = at;
                above.buckets.push_back(merged);
            }
            above.buckets.back().Merge(bucket);
        }
        bytes_ += LevelBytes(above);
        pyramid->levels.push_back(std::move(above));
    }
}

// How many doublings of the base width to do at once: as many as the
// buckets are over half the budget, and at least enough that the fullest
// trace's buckets, which may lie far apart, come to merge (a base finer
// than a trace's spacing merges nothing).
unsigned Summary::WideningShift() const
{
    unsigned shift = 1;
    while (shift < 16 && (bytes_ >> shift) > budget_ / 2)
        ++shift;
    const Pyramid* fullest = nullptr;
    for (const Pyramid& pyramid : traces_) {
        if (fullest == nullptr || pyramid.levels[0].buckets.size() > fullest->levels[0].buckets.size())
            fullest = &pyramid;
    }
    if (fullest != nullptr && fullest->levels[0].buckets.size() > 1) {
        const std::vector<SummaryBucket>& buckets = fullest->levels[0].buckets;
        const uint64_t span = static_cast<uint64_t>(buckets.back().index - buckets.front().index) + 1;
        unsigned spread = 0;   // buckets this many doublings wide hold two of its buckets on average
        while (spread < 40 && (span >> spread) > buckets.size() / 2)
            ++spread;
        shift = std::max(shift, spread);
    }
    return shift;
}

void Summary::Coarsen(unsigned shift)
{
    while (shift > 0 && baseWidth_ > kMostBaseWidth >> shift)
        --shift;
    // The open buckets join their levels first: each is then at its new width too.
    for (Pyramid& pyramid : traces_) {
        if (pyramid.open.count != 0)
            Close(&pyramid);
    }
    baseWidth_ <<= shift;
    bytes_ = 0;
    for (Pyramid& pyramid : traces_) {
        for (Level& level : pyramid.levels) {
            std::vector<SummaryBucket>& buckets = level.buckets;
            size_t kept = 0;
            for (size_t i = 0; i < buckets.size(); ++i) {
                SummaryBucket bucket = buckets[i];
                bucket.index >>= shift;
                if (kept > 0 && buckets[kept - 1].index == bucket.index)
                    buckets[kept - 1].Merge(bucket);
                else
                    buckets[kept++] = bucket;
            }
            // The room stays for the buckets to come: it is never more than
            // twice the budget, and refilling it costs no copying.
            buckets.resize(kept);
            bytes_ += LevelBytes(level);
        }
    }
}

std::vector<Column> Summary::Columns(size_t trace, int64_t from, int64_t to, size_t width, bool* coarse) const
{
    std::vector<Column> columns(width);
    *coarse = false;
    if (width == 0 || to <= from || trace >= traces_.size())
        return columns;
    const Pyramid& pyramid = traces_[trace];
    const double span = static_cast<double>(to - from);
    const double columnMicros = span / static_cast<double>(width);
    size_t level = 0;
    while (level + 1 < pyramid.levels.size() &&
           static_cast<double>(baseWidth_) * static_cast<double>(int64_t(1) << (2 * (level + 1))) <= columnMicros)
        ++level;
    const int64_t levelWidth = baseWidth_ << (2 * level);
    *coarse = static_cast<double>(levelWidth) > columnMicros;
    const std::vector<SummaryBucket>& buckets = pyramid.levels[level].buckets;
    const int64_t last = FloorDiv(to - 1, levelWidth);
    auto columnOf = [&](int64_t micros) {
        const double at = static_cast<double>(micros - from) * static_cast<double>(width) / span;
        return static_cast<size_t>(std::min(std::max(at, 0.0), static_cast<double>(width - 1)));
    };
    const int64_t first = FloorDiv(from, levelWidth);
    auto place = [&](int64_t index, const SummaryBucket& bucket) {
        const int64_t start = index * levelWidth;
        const Column column = bucket.AsColumn();
        // A bucket narrower than a column goes to the column of its middle,
        // so that no sample moves by more than half a column.
        const size_t begin = columnOf(std::max(*coarse ? start : start + levelWidth / 2, from));
        const size_t end = *coarse ? columnOf(std::min(start + levelWidth, to) - 1) : begin;
        for (size_t p = begin; p <= end; ++p)
            columns[p].Merge(column);
    };
    for (auto it = FirstFrom(buckets, first); it != buckets.end() && it->index <= last; ++it)
        place(it->index, *it);
    // The newest samples, not yet in the levels.
    const int64_t open = pyramid.open.index >> (2 * level);
    if (pyramid.open.count != 0 && open >= first && open <= last)
        place(open, pyramid.open);
    return columns;
}

void Summary::BucketSpan(int64_t micros, int64_t* start, int64_t* end) const
{
    *start = FloorDiv(micros, baseWidth_) * baseWidth_;
    *end = *start + baseWidth_;
}

bool Summary::LastBucketAtOrBefore(size_t trace, int64_t micros, SummaryBucket* bucket, int64_t* start, int64_t* end) const
{
    const Pyramid& pyramid = traces_[trace];
    const int64_t index = FloorDiv(micros, baseWidth_);
    const std::vector<SummaryBucket>& buckets = pyramid.levels[0].buckets;
    auto after = FirstFrom(buckets, index + 1);
    if (pyramid.open.count != 0 && pyramid.open.index <= index) {
        *bucket = pyramid.open;   // the newest
    } else if (after == buckets.begin()) {
        return false;
    } else {
        *bucket = *(after - 1);
    }
    *start = bucket->index * baseWidth_;
    *end = *start + baseWidth_;
    return true;
}

TraceStats Summary::RangeStats(const Pyramid& pyramid, size_t level, int64_t low, int64_t high) const
{
    TraceStats stats;
    if (low > high)
        return stats;
    auto direct = [&](int64_t from, int64_t to) {
        const std::vector<SummaryBucket>& buckets = pyramid.levels[level].buckets;
        for (auto it = FirstFrom(buckets, from); it != buckets.end() && it->index <= to; ++it) {
            TraceStats bucket;
            bucket.count = it->count;
            bucket.min = it->min;
            bucket.max = it->max;
            bucket.sum = it->sum;
            stats.Merge(bucket);
        }
    };
    const int64_t fanout = static_cast<int64_t>(kLevelFanout);
    const int64_t lowAbove = FloorDiv(low + fanout - 1, fanout), highAbove = FloorDiv(high + 1, fanout) - 1;
    if (level + 1 < pyramid.levels.size() && lowAbove <= highAbove) {
        direct(low, lowAbove * fanout - 1);
        stats.Merge(RangeStats(pyramid, level + 1, lowAbove, highAbove));
        direct((highAbove + 1) * fanout, high);
    } else {
        direct(low, high);
    }
    return stats;
}

TraceStats Summary::WholeBucketStats(size_t trace, int64_t from, int64_t to) const
{
    const Pyramid& pyramid = traces_[trace];
    const int64_t low = FloorDiv(from, baseWidth_) + 1, high = FloorDiv(to, baseWidth_) - 1;
    TraceStats stats = RangeStats(pyramid, 0, low, high);
    if (pyramid.open.count != 0 && pyramid.open.index >= low && pyramid.open.index <= high) {
        TraceStats open;
        open.count = pyramid.open.count;
        open.min = pyramid.open.min;
        open.max = pyramid.open.max;
        open.sum = pyramid.open.sum;
        stats.Merge(open);
    }
    return stats;
}

bool Summary::Extent(int64_t* first, int64_t* last) const
{
    if (any_) {
        *first = first_;
        *last = last_;
    }
    return any_;
}
