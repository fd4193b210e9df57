#include "velkscope/History.h"

#include <algorithm>

namespace {

const uint32_t kExpiredBit = 0x80000000u;
const uint64_t kMostOffset = UINT32_MAX;   // a block spans at most this many microseconds

} // namespace

History::History(uint64_t maxMessages, uint64_t maxMicros, uint64_t maxPayloadBytes)
    : maxMessages_(std::max<uint64_t>(maxMessages, 1)), maxMicros_(maxMicros), maxPayloadBytes_(maxPayloadBytes)
{
}

void History::Add(const RecordedMessage& message)
{
    const uint64_t micros = blocks_.empty() ? message.micros : std::max(message.micros, blocks_.back().baseMicros);
    if (blocks_.empty() || blocks_.back().entries.size() >= kHistoryBlock || micros - blocks_.back().baseMicros > kMostOffset ||
        blocks_.back().payloads.size() + message.bytes.size() >= kExpiredBit) {
        blocks_.emplace_back();
        blocks_.back().baseMicros = micros;
        blocks_.back().entries.reserve(kHistoryBlock);
    }
    Block& block = blocks_.back();
    Entry entry;
    entry.offsetMicros = static_cast<uint32_t>(micros - block.baseMicros);
    entry.code = message.code;
    if (message.kind == kValueMessage) {
        entry.valueOrLength = message.value;
        entry.payloadAt = 0;
    } else {
        entry.valueOrLength = static_cast<int32_t>(message.bytes.size());
        entry.payloadAt = static_cast<uint32_t>(block.payloads.size()) | (message.expired ? kExpiredBit : 0);
        block.payloads += message.bytes;
        payloadBytes_ += message.bytes.size();
    }
    block.entries.push_back(entry);
    ++size_;
    // The oldest block goes once what is left still covers the bounds.
    while (blocks_.size() > 1) {
        const Block& oldest = blocks_.front();
        const bool tooMany = size_ - oldest.entries.size() >= maxMessages_;
        const bool tooOld = blocks_[1].baseMicros + maxMicros_ <= micros;   // the rest still reaches back that far
        const bool tooLarge = payloadBytes_ > maxPayloadBytes_;
        if (!tooMany && !tooOld && !tooLarge)
            break;
        DropOldest();
    }
}

void History::DropOldest()
{
    size_ -= blocks_.front().entries.size();
    dropped_ += blocks_.front().entries.size();
    payloadBytes_ -= blocks_.front().payloads.size();
    blocks_.pop_front();
}

void History::Clear()
{
    blocks_.clear();
    size_ = 0;
    payloadBytes_ = 0;
}

bool History::Span(uint64_t* oldest, uint64_t* newest) const
{
    if (blocks_.empty())
        return false;
    *oldest = blocks_.front().baseMicros + blocks_.front().entries.front().offsetMicros;
    *newest = blocks_.back().baseMicros + blocks_.back().entries.back().offsetMicros;
    return true;
}

RecordedMessage History::MessageOf(const Block& block, const Entry& entry) const
{
    RecordedMessage message;
    message.micros = block.baseMicros + entry.offsetMicros;
    message.code = entry.code;
    message.kind = ClassifyCode(entry.code);
    message.value = 0;
    if (message.kind == kValueMessage) {
        message.value = entry.valueOrLength;
    } else {
        message.bytes.assign(block.payloads, entry.payloadAt & ~kExpiredBit, static_cast<size_t>(entry.valueOrLength));
        message.expired = (entry.payloadAt & kExpiredBit) != 0;
    }
    return message;
}

void History::Find(uint64_t micros, size_t* block, size_t* entry) const
{
    // The last block starting at or before micros holds it, or the next one starts it.
    auto after = std::upper_bound(blocks_.begin(), blocks_.end(), micros,
                                  [](uint64_t at, const Block& b) { return at < b.baseMicros; });
    size_t b = after == blocks_.begin() ? 0 : static_cast<size_t>(after - blocks_.begin()) - 1;
    const Block& found = blocks_[b];
    const uint64_t offset = micros - std::min(micros, found.baseMicros);
    auto at = std::lower_bound(found.entries.begin(), found.entries.end(), offset,
                               [](const Entry& e, uint64_t o) { return e.offsetMicros < o; });
    size_t e = static_cast<size_t>(at - found.entries.begin());
    if (e == found.entries.size()) {
        ++b;
        e = 0;
    }
    *block = b;
    *entry = e;
}

void History::ForEach(uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) const
{
    if (blocks_.empty() || to < from)
        return;
    size_t b = 0, e = 0;
    Find(from, &b, &e);
    for (; b < blocks_.size(); ++b, e = 0) {
        const Block& block = blocks_[b];
        for (; e < block.entries.size(); ++e) {
            if (block.baseMicros + block.entries[e].offsetMicros > to)
                return;
            if (!visit(MessageOf(block, block.entries[e])))
                return;
        }
    }
}

uint64_t History::CountBetween(uint64_t from, uint64_t to) const
{
    if (blocks_.empty() || to < from)
        return 0;
    size_t b1 = 0, e1 = 0, b2 = 0, e2 = 0;
    Find(from, &b1, &e1);
    Find(to == UINT64_MAX ? to : to + 1, &b2, &e2);
    auto position = [&](size_t b, size_t e) {
        uint64_t before = 0;
        for (size_t i = 0; i < b && i < blocks_.size(); ++i)
            before += blocks_[i].entries.size();
        return before + e;
    };
    const uint64_t start = position(b1, e1), end = position(b2, e2);
    return end > start ? end - start : 0;
}

uint64_t History::TimeBeforeNewest(uint64_t n) const
{
    for (size_t b = blocks_.size(); b-- > 0;) {
        const Block& block = blocks_[b];
        if (n < block.entries.size())
            return block.baseMicros + block.entries[block.entries.size() - 1 - n].offsetMicros;
        n -= block.entries.size();
    }
    return blocks_.empty() ? 0 : blocks_.front().baseMicros + blocks_.front().entries.front().offsetMicros;
}
