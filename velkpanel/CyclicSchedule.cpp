#include "velkpanel/CyclicSchedule.h"

void CyclicSchedule::Start(size_t id, uint64_t periodMicros, uint64_t nowMicros)
{
    if (id >= entries_.size())
        entries_.resize(id + 1);
    Entry& entry = entries_[id];
    entry.running = periodMicros != 0;
    entry.start = nowMicros;
    entry.period = periodMicros;
    entry.sent = 0;
}

void CyclicSchedule::Stop(size_t id)
{
    if (id < entries_.size())
        entries_[id].running = false;
}

void CyclicSchedule::StopAll()
{
    for (Entry& entry : entries_)
        entry.running = false;
}

bool CyclicSchedule::Running(size_t id) const
{
    return id < entries_.size() && entries_[id].running;
}

uint64_t CyclicSchedule::PeriodOf(size_t id) const
{
    return id < entries_.size() ? entries_[id].period : 0;
}

void CyclicSchedule::TakeDue(uint64_t nowMicros, std::vector<size_t>* due)
{
    due->clear();
    for (size_t id = 0; id < entries_.size(); ++id) {
        Entry& entry = entries_[id];
        if (!entry.running || entry.Next() > nowMicros)
            continue;
        due->push_back(id);
        // The first deadline after now; those between were missed.
        const uint64_t next = (nowMicros - entry.start) / entry.period + 1;
        missed_ += next - entry.sent - 1;
        entry.sent = next;
    }
}

uint64_t CyclicSchedule::NextDeadline() const
{
    uint64_t next = kNever;
    for (const Entry& entry : entries_) {
        if (entry.running && entry.Next() < next)
            next = entry.Next();
    }
    return next;
}
