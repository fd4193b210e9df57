// Cyclic sends, each on deadlines of its own counted from its start: the
// n-th send is due n periods after the first, so a late send never shifts
// the ones after it. A send found late by more than a period is sent once,
// not once per deadline missed, and the missed ones are counted. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

class CyclicSchedule {
public:
    enum : uint64_t { kNever = UINT64_MAX };

    // Runs entry id (any small number) every periodMicros (above 0), the
    // first send due at nowMicros; again with a new period: from now.
    void Start(size_t id, uint64_t periodMicros, uint64_t nowMicros);
    void Stop(size_t id);
    void StopAll();
    bool Running(size_t id) const;
    uint64_t PeriodOf(size_t id) const;

    // The entries due at nowMicros, each once, in id order, into *due
    // (cleared first); each one's next deadline is then its first after now.
    void TakeDue(uint64_t nowMicros, std::vector<size_t>* due);
    // The earliest deadline of a running entry; kNever when none runs.
    uint64_t NextDeadline() const;
    // Deadlines passed over without a send, of all entries since they started.
    uint64_t Missed() const { return missed_; }

private:
    struct Entry {
        bool running = false;
        uint64_t start = 0, period = 0, sent = 0;   // the next deadline: start + sent x period
        uint64_t Next() const { return start + sent * period; }
    };
    std::vector<Entry> entries_;
    uint64_t missed_ = 0;
};
