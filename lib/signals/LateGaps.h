// When a message with a period is late: any interval longer than twice its
// period, between two of its messages or from its last one to now. What top,
// monitor and velkpanel mark with '~' and count. Pure logic.
#pragma once
#include <stdint.h>

// Whether the interval from fromMicros to toMicros is a late one; never
// for a period of 0 (none).
bool LateInterval(uint64_t fromMicros, uint64_t toMicros, uint64_t periodMicros);

// One code's messages in time order: the late gaps between them, counted.
class LateGaps {
public:
    // A message at micros: true when the interval since the one before it
    // was late (the first message has none before it), that interval in
    // *gapMicros when asked.
    bool Receive(uint64_t micros, uint64_t periodMicros, uint64_t* gapMicros = nullptr);
    // Late at now: its last message is more than twice its period ago.
    bool LateAt(uint64_t now, uint64_t periodMicros) const { return heard_ && LateInterval(last_, now, periodMicros); }
    uint64_t Count() const { return count_; }
    void ClearCount() { count_ = 0; }

private:
    bool heard_ = false;
    uint64_t last_ = 0;
    uint64_t count_ = 0;
};
