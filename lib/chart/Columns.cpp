#include "chart/Columns.h"

#include <algorithm>

void Column::Add(double value)
{
    if (count == 0) {
        first = min = max = value;
    } else {
        min = std::min(min, value);
        max = std::max(max, value);
    }
    last = value;
    if (count != UINT32_MAX)
        ++count;
}

void Column::Merge(const Column& later)
{
    if (later.count == 0)
        return;
    if (count == 0) {
        *this = later;
        return;
    }
    min = std::min(min, later.min);
    max = std::max(max, later.max);
    last = later.last;
    count = later.count > UINT32_MAX - count ? UINT32_MAX : count + later.count;
}

std::vector<Column> Regroup(const std::vector<Column>& fine, size_t width)
{
    std::vector<Column> wide(width);
    const size_t n = fine.size();
    if (width == 0 || n == 0)
        return wide;
    for (size_t p = 0; p < width; ++p) {
        size_t begin = p * n / width;
        size_t end = std::max(begin + 1, (p + 1) * n / width);   // more pixels than columns: repeat one
        for (size_t i = begin; i < end && i < n; ++i)
            wide[p].Merge(fine[i]);
    }
    return wide;
}

ColumnSpan::ColumnSpan(int64_t from, int64_t span, size_t count)
    : from_(from), span_(1), columns_(std::max<size_t>(count, 1))
{
    const int64_t most = INT64_MAX / static_cast<int64_t>(columns_.size());
    span_ = std::max<int64_t>(1, std::min(span, most));
}

bool ColumnSpan::Add(int64_t micros, double value)
{
    if (micros < from_ || micros - from_ >= span_)
        return false;
    int64_t offset = micros - from_;
    const int64_t count = static_cast<int64_t>(columns_.size());
    size_t index = static_cast<size_t>(offset * count / span_);
    columns_[std::min(index, columns_.size() - 1)].Add(value);
    return true;
}

bool ColumnSpan::Double()
{
    // offset * count in Add must stay inside 64 bits.
    if (span_ > INT64_MAX / 2 / static_cast<int64_t>(columns_.size()))
        return false;
    const size_t count = columns_.size();
    std::vector<Column> merged(count);
    for (size_t i = 0; i < count; ++i)
        merged[i / 2].Merge(columns_[i]);
    // An odd count: the last column's right half and the new columns.
    columns_.swap(merged);
    span_ *= 2;
    return true;
}

ColumnStrip::ColumnStrip(int64_t windowMicros, size_t count)
    : window_(std::max<int64_t>(windowMicros, 1)), slots_(std::max<size_t>(count, 1)), newest_(-1)
{
}

int64_t ColumnStrip::IndexOf(int64_t micros) const
{
    // Times are microseconds since the program started: below 2^45 for a
    // year, so micros * count stays far inside 64 bits.
    int64_t scaled = micros * static_cast<int64_t>(slots_.size());
    int64_t index = scaled / window_;
    if (scaled < 0 && index * window_ != scaled)
        --index;   // floor, not truncation
    return index;
}

void ColumnStrip::Add(int64_t micros, double value)
{
    const int64_t count = static_cast<int64_t>(slots_.size());
    int64_t index = IndexOf(micros);
    if (newest_ >= 0 && index <= newest_ - count)
        return;   // older than the strip holds
    if (index > newest_) {
        // Columns passed over since the newest one stay empty.
        int64_t from = newest_ < 0 || index - newest_ > count ? index - count + 1 : newest_ + 1;
        for (int64_t i = from; i <= index; ++i)
            slots_[static_cast<size_t>(((i % count) + count) % count)] = Column();
        newest_ = index;
    }
    slots_[static_cast<size_t>(((index % count) + count) % count)].Add(value);
}

void ColumnStrip::Clear()
{
    std::fill(slots_.begin(), slots_.end(), Column());
    newest_ = -1;
}

void ColumnStrip::CopyEnding(int64_t now, std::vector<Column>* out) const
{
    const int64_t count = static_cast<int64_t>(slots_.size());
    out->assign(slots_.size(), Column());
    int64_t last = IndexOf(now);
    for (int64_t k = 0; k < count; ++k) {
        int64_t index = last - count + 1 + k;
        // Only columns the strip still holds: newer than newest_ are empty,
        // and so is anything that fell out of it.
        if (newest_ < 0 || index > newest_ || index <= newest_ - count)
            continue;
        (*out)[static_cast<size_t>(k)] = slots_[static_cast<size_t>(((index % count) + count) % count)];
    }
}
