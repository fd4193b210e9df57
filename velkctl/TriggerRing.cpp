#include "velkctl/TriggerRing.h"

#include <functional>

size_t RingMessageBytes(const RecordedMessage& message)
{
    const char* data = message.bytes.data();
    const char* inside = reinterpret_cast<const char*>(&message.bytes);
    const std::less<const char*> before;
    if (!before(data, inside) && before(data, inside + sizeof message.bytes))
        return sizeof(RecordedMessage);   // short enough for the string's own buffer
    const size_t kHeapHeader = 16, kHeapStep = 16;
    return sizeof(RecordedMessage) + (message.bytes.capacity() + 1 + kHeapHeader + kHeapStep - 1) / kHeapStep * kHeapStep;
}

void TriggerRing::Add(const RecordedMessage& message, bool triggered, bool kept)
{
    Tick(message.micros);
    if (posting_) {
        if (kept)
            sink_->Write(message, false);
    } else if (triggered && files_ < limits_.maxTriggers) {
        const uint64_t since = message.micros > limits_.preMicros ? message.micros - limits_.preMicros : 0;
        // The window ages out first, so the time bound is the trigger's.
        if (kept)
            Keep(message);
        else
            Age(message.micros);
        ++files_;
        sink_->Begin(files_, message.micros, newestCapDropped_ > since);
        for (size_t i = 0; i < ring_.size(); ++i)
            sink_->Write(ring_[i], kept && i + 1 == ring_.size());
        if (!kept)
            sink_->Write(message, true);
        posting_ = true;
        postEnd_ = message.micros + limits_.postMicros;
        return;
    }
    // Kept while posting too: a later trigger's file holds its own whole pre-window.
    if (kept)
        Keep(message);
}

void TriggerRing::Tick(uint64_t nowMicros)
{
    if (posting_ && nowMicros > postEnd_) {
        posting_ = false;
        sink_->End(files_);
    }
}

void TriggerRing::Finish()
{
    if (posting_) {
        posting_ = false;
        sink_->End(files_);
    }
}

void TriggerRing::Keep(const RecordedMessage& message)
{
    ring_.push_back(message);
    ringBytes_ += RingMessageBytes(ring_.back());   // the copy's own capacity
    Age(message.micros);
    while (ring_.size() > 1 && (ring_.size() > limits_.maxMessages || ringBytes_ > limits_.maxBytes)) {
        ++capDropped_;
        newestCapDropped_ = ring_.front().micros + 1;
        Forget();
    }
}

void TriggerRing::Age(uint64_t nowMicros)
{
    // A message exactly preMicros old is still inside the window.
    while (!ring_.empty() && ring_.front().micros + limits_.preMicros < nowMicros)
        Forget();
}

void TriggerRing::Forget()
{
    ringBytes_ -= RingMessageBytes(ring_.front());
    ring_.pop_front();
}
