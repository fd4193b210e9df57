#include "velkpanel/CyclicSchedule.h"

#include <algorithm>

void CyclicSchedule::Start(size_t id, uint64_t periodMicros, uint64_t nowMicros)
{
    while (sends_.Size() <= id)
        sends_.Add(0);
    // Stopped first, so that the new period counts from now, not from the last deadline.
    sends_.Stop(id);
    sends_.SetPeriod(id, periodMicros, nowMicros);
    if (periodMicros != 0)
        sends_.Start(id, nowMicros, 0);
}

void CyclicSchedule::Stop(size_t id)
{
    if (id < sends_.Size())
        sends_.Stop(id);
}

void CyclicSchedule::StopAll()
{
    for (size_t id = 0; id < sends_.Size(); ++id)
        sends_.Stop(id);
}

bool CyclicSchedule::Running(size_t id) const
{
    return id < sends_.Size() && sends_.Running(id);
}

uint64_t CyclicSchedule::PeriodOf(size_t id) const
{
    return id < sends_.Size() ? sends_.Period(id) : 0;
}

void CyclicSchedule::TakeDue(uint64_t nowMicros, std::vector<size_t>* due)
{
    due->clear();
    size_t task = 0;
    uint64_t deadline = 0;
    // Each once: once sent, its next deadline is after now.
    while (sends_.Next(&task, &deadline) && deadline <= nowMicros) {
        due->push_back(task);
        sends_.Sent(task, nowMicros);
    }
    std::sort(due->begin(), due->end());
}

uint64_t CyclicSchedule::NextDeadline()
{
    size_t task = 0;
    uint64_t deadline = 0;
    return sends_.Next(&task, &deadline) ? deadline : kNever;
}

uint64_t CyclicSchedule::Missed() const
{
    uint64_t missed = 0;
    for (size_t id = 0; id < sends_.Size(); ++id)
        missed += sends_.Timing(id).overruns;
    return missed;
}
