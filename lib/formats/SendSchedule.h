// The deadlines of messages each sent on its own period (velkctl simulate,
// the session's simulation). A message's deadlines are counted from its
// start, never from its last send, so lateness does not add up. A send so
// late that the message's next deadline has passed too stands for all of
// them: it is sent once and the deadlines it missed are counted as
// overruns, never sent in a burst to catch up. Pure logic, in microseconds
// on the caller's clock.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <queue>
#include <vector>

// How late sends were: the mean and max exact, a percentile to its bucket
// (10 us below 1 ms, then a tenth of each decade up to 10 s; beyond, the max).
class LatenessStats {
public:
    void Add(uint64_t micros);
    uint64_t Count() const { return count_; }
    double MeanMicros() const { return count_ == 0 ? 0 : static_cast<double>(sum_) / static_cast<double>(count_); }
    uint64_t MaxMicros() const { return max_; }
    // The least lateness that fraction (0 to 1) of the sends did not exceed,
    // as its bucket's upper end; 0 with no sends.
    uint64_t PercentileMicros(double fraction) const;

private:
    std::vector<uint32_t> buckets_;   // made on the first Add
    uint64_t count_ = 0, sum_ = 0, max_ = 0;
};

struct SendTiming {
    uint64_t sent = 0;
    uint64_t overruns = 0;            // deadlines missed: sent once for all of them
    LatenessStats lateness;           // of each send against its deadline
};

class SendSchedule {
public:
    // A message sent every periodMicros, stopped until started; its index.
    // 0: no period yet, to be set before it starts.
    size_t Add(uint64_t periodMicros);
    // Starts it again, or for the first time (its period more than 0): its
    // first deadline is now + phase.
    void Start(size_t task, uint64_t now, uint64_t phaseMicros);
    void Stop(size_t task);
    bool Running(size_t task) const { return tasks_[task].running; }
    uint64_t Period(size_t task) const { return tasks_[task].period; }
    // A new period (more than 0), from the next deadline on: that deadline moves to the
    // last one plus the new period (now, if that has passed).
    void SetPeriod(size_t task, uint64_t periodMicros, uint64_t now);

    // The running message due first and its deadline; false when none runs.
    bool Next(size_t* task, uint64_t* deadline);
    // That message was sent at now: its lateness is counted, and every later
    // deadline that had passed by now is an overrun, skipped.
    void Sent(size_t task, uint64_t now);

    size_t Size() const { return tasks_.size(); }
    const SendTiming& Timing(size_t task) const { return tasks_[task].timing; }

private:
    struct Task {
        uint64_t period;
        uint64_t next = 0;            // its next deadline
        bool running = false;
        uint64_t generation = 0;      // entries of the queue made before a change are stale
        SendTiming timing;
    };
    struct Entry {
        uint64_t deadline;
        size_t task;
        uint64_t generation;
        bool operator>(const Entry& other) const
        {
            return deadline != other.deadline ? deadline > other.deadline : task > other.task;
        }
    };
    void Queue(size_t task);

    std::vector<Task> tasks_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
};
