// velkpanel's cyclic sends, one per group index, on lib/formats' SendSchedule
// (deadlines counted from each one's start; a send late by more than a
// period goes once and the deadlines it passed are counted as missed). What
// it adds: a group's send starts again from now when its period changes,
// and the sends due at one wake-up go out in group order. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "formats/SendSchedule.h"

class CyclicSchedule {
public:
    enum : uint64_t { kNever = UINT64_MAX };

    // Runs entry id (any small number) every periodMicros (0: stopped), the
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
    uint64_t NextDeadline();
    // Deadlines passed over without a send, of all entries since they started.
    uint64_t Missed() const;

private:
    SendSchedule sends_;   // a task per id, its index the id
};
