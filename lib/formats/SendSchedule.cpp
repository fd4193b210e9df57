#include "formats/SendSchedule.h"

#include <functional>

namespace {

// Buckets by decade: below 1 ms 10 us wide, then each decade in tenths, to 10 s.
struct Decade { uint64_t end, width; };
const Decade kDecades[] = { { 1000, 10 }, { 10000, 100 }, { 100000, 1000 }, { 1000000, 10000 }, { 10000000, 100000 } };
const size_t kBuckets = 100 + 4 * 90 + 1;   // the last: 10 s and more

size_t BucketOf(uint64_t micros)
{
    size_t first = 0;
    uint64_t start = 0;
    for (const Decade& decade : kDecades) {
        if (micros < decade.end)
            return first + static_cast<size_t>((micros - start) / decade.width);
        first += static_cast<size_t>((decade.end - start) / decade.width);
        start = decade.end;
    }
    return kBuckets - 1;
}

// The bucket's upper end; 0 for the last, which has none.
uint64_t BucketEnd(size_t bucket)
{
    size_t first = 0;
    uint64_t start = 0;
    for (const Decade& decade : kDecades) {
        const size_t count = static_cast<size_t>((decade.end - start) / decade.width);
        if (bucket < first + count)
            return start + (bucket - first + 1) * decade.width;
        first += count;
        start = decade.end;
    }
    return 0;
}

} // namespace

void LatenessStats::Add(uint64_t micros)
{
    if (buckets_.empty())
        buckets_.resize(kBuckets);
    ++buckets_[BucketOf(micros)];
    ++count_;
    sum_ += micros;
    if (micros > max_)
        max_ = micros;
}

uint64_t LatenessStats::PercentileMicros(double fraction) const
{
    if (count_ == 0)
        return 0;
    // The first bucket by which at least that many sends are counted.
    const double wanted = fraction * static_cast<double>(count_);
    uint64_t counted = 0;
    for (size_t i = 0; i < buckets_.size(); ++i) {
        counted += buckets_[i];
        if (counted > 0 && static_cast<double>(counted) >= wanted) {
            const uint64_t end = BucketEnd(i);
            return end == 0 || end > max_ ? max_ : end;
        }
    }
    return max_;
}

size_t SendSchedule::Add(uint64_t periodMicros)
{
    Task task;
    task.period = periodMicros;
    tasks_.push_back(task);
    return tasks_.size() - 1;
}

void SendSchedule::Queue(size_t task)
{
    Task& t = tasks_[task];
    ++t.generation;
    if (t.running)
        queue_.push(Entry{ t.next, task, t.generation });
}

void SendSchedule::Start(size_t task, uint64_t now, uint64_t phaseMicros)
{
    tasks_[task].running = true;
    tasks_[task].next = now + phaseMicros;
    Queue(task);
}

void SendSchedule::Stop(size_t task)
{
    tasks_[task].running = false;
    Queue(task);
}

void SendSchedule::SetPeriod(size_t task, uint64_t periodMicros, uint64_t now)
{
    Task& t = tasks_[task];
    if (!t.running) {
        t.period = periodMicros;
        return;
    }
    const uint64_t period = periodMicros;
    // The last deadline plus the new period; signed, since the first deadline may come before one period.
    const int64_t next = static_cast<int64_t>(t.next) - static_cast<int64_t>(t.period) + static_cast<int64_t>(period);
    t.period = period;
    t.next = next > static_cast<int64_t>(now) ? static_cast<uint64_t>(next) : now;
    Queue(task);
}

bool SendSchedule::Next(size_t* task, uint64_t* deadline)
{
    while (!queue_.empty()) {
        const Entry& top = queue_.top();
        const Task& t = tasks_[top.task];
        if (t.running && t.generation == top.generation) {
            *task = top.task;
            *deadline = top.deadline;
            return true;
        }
        queue_.pop();
    }
    return false;
}

void SendSchedule::Sent(size_t task, uint64_t now)
{
    Task& t = tasks_[task];
    const uint64_t deadline = t.next;
    const uint64_t late = now > deadline ? now - deadline : 0;
    const uint64_t missed = late / t.period;   // the later deadlines that have passed too
    ++t.timing.sent;
    t.timing.overruns += missed;
    t.timing.lateness.Add(late);
    t.next = deadline + (missed + 1) * t.period;
    Queue(task);
}
