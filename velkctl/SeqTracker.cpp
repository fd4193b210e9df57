#include "velkctl/SeqTracker.h"

bool SeqTracker::Seen(const Run& run, uint64_t seq) const
{
    uint64_t bit = seq % kWindow;
    return (run.seen[bit / 64] >> (bit % 64) & 1) != 0;
}

void SeqTracker::Mark(Run* run, uint64_t seq)
{
    uint64_t bit = seq % kWindow;
    run->seen[bit / 64] |= 1ULL << (bit % 64);
}

SeqEvent SeqTracker::Note(const std::string& origin, const std::string& runId, uint64_t seq)
{
    SeqEvent event = { kSeqInOrder, false, 0, 0, std::string() };
    OriginCounts& counts = counts_[origin];
    ++counts.received;
    Run& run = runs_[origin];
    if (run.id != runId) {
        // A new run starts afresh: what the old one never delivered stays lost.
        event.newRun = true;
        event.previousRun = run.id;
        run.id = runId;
        run.first = seq;
        run.newest = seq;
        run.seen.assign(kWindow / 64, 0);
        Mark(&run, seq);
        ++counts.runs;
        return event;
    }
    event.newest = run.newest;
    if (seq - run.newest > kWindow && seq > run.newest) {
        // Too far to be a gap the window could tell (one far-ahead line would
        // count 2^53 lost and make the genuine lines look old): start afresh there.
        event.verdict = kSeqJump;
        ++counts.jumps;
        run.first = seq;
        run.newest = seq;
        run.seen.assign(kWindow / 64, 0);
        Mark(&run, seq);
        return event;
    }
    if (seq > run.newest) {
        event.missing = seq - run.newest - 1;
        if (event.missing != 0) {
            event.verdict = kSeqGap;
            counts.lost += event.missing;
        }
        // The bits of the numbers skipped start clear (at most the window's worth).
        for (uint64_t s = run.newest + 1; s < seq; ++s)
            run.seen[s % kWindow / 64] &= ~(1ULL << (s % kWindow % 64));
        run.newest = seq;
        Mark(&run, seq);
        return event;
    }
    if (run.newest - seq >= kWindow || Seen(run, seq)) {
        event.verdict = kSeqDuplicate;
        ++counts.duplicates;
        return event;
    }
    event.verdict = kSeqLate;
    ++counts.late;
    if (seq > run.first)
        --counts.lost;   // it had been counted missing
    Mark(&run, seq);
    return event;
}

OriginCounts SeqTracker::Total() const
{
    OriginCounts total;
    for (const auto& entry : counts_) {
        total.received += entry.second.received;
        total.lost += entry.second.lost;
        total.duplicates += entry.second.duplicates;
        total.late += entry.second.late;
        total.runs += entry.second.runs;
        total.jumps += entry.second.jumps;
    }
    return total;
}
