// What velkscope keeps of the bus while it runs, for scrolling back while
// paused and for File > Save recording: every message received, its whole
// payload too, oldest dropped first. It holds at least the last hour, or
// the last kHistoryMessages messages when those come sooner, and at most
// kHistoryPayloadBytes of payloads. Stored in blocks of kHistoryBlock
// messages (16 bytes each, times as offsets from the block's first), so a
// full history of 10^7 messages takes 160 MB and dropping the oldest costs
// nothing. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "formats/RecordLine.h"

enum : uint64_t {
    kHistoryMessages = 10000000,
    kHistoryMicros = 3600000000ULL,
    kHistoryPayloadBytes = 64 << 20,
    kHistoryBlock = 4096,
};

class History {
public:
    explicit History(uint64_t maxMessages = kHistoryMessages, uint64_t maxMicros = kHistoryMicros,
                     uint64_t maxPayloadBytes = kHistoryPayloadBytes);

    // A message at micros (velkscope's clock, in time order).
    void Add(const RecordedMessage& message);
    void Clear();

    uint64_t Size() const { return size_; }
    // Messages dropped to keep within the bounds, since the start.
    uint64_t Dropped() const { return dropped_; }
    // The oldest and newest times held; false when empty.
    bool Span(uint64_t* oldest, uint64_t* newest) const;

    // Every message with from <= micros <= to, in order; visit returns
    // false to stop.
    void ForEach(uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) const;
    // The time of the message n places before the newest (0: the newest;
    // the oldest when there are fewer); 0 when empty.
    uint64_t TimeBeforeNewest(uint64_t n) const;
    // How many messages lie in [from, to] (as ForEach would visit).
    uint64_t CountBetween(uint64_t from, uint64_t to) const;

private:
    struct Entry {
        uint32_t offsetMicros;   // after the block's base
        uint32_t code;
        int32_t valueOrLength;   // value messages: the data word; payloads: their length
        uint32_t payloadAt;      // in the block's payload bytes; the top bit: expired
    };
    struct Block {
        uint64_t baseMicros;
        std::vector<Entry> entries;
        std::string payloads;
    };

    RecordedMessage MessageOf(const Block& block, const Entry& entry) const;
    // Position of the first message at or after micros: block and entry.
    void Find(uint64_t micros, size_t* block, size_t* entry) const;
    void DropOldest();

    uint64_t maxMessages_, maxMicros_, maxPayloadBytes_;
    std::deque<Block> blocks_;
    uint64_t size_ = 0, dropped_ = 0, payloadBytes_ = 0;
};
