// What velkctl session waits on: the armed expects, collects and rates, and
// the subscriptions; and the bus's last messages, for a failed test's
// report. Fed every message of the bus in order, stamped by the one clock,
// and the time as it passes; every answer and event comes out as a line.
// Pure logic: the window, the bus and stdin are velkctl/Session's.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/Predicate.h"
#include "velkctl/SessionRequest.h"

class SessionBook {
public:
    // A message as answers and events hold it (FormatSessionMessage with
    // the message's signals); called once per message that is wanted.
    typedef std::function<std::string(const RecordedMessage&, bool expired)> MessageFormat;

    enum {
        kMaxWaits = 1000,                   // expects, collects and rates pending at once
        kMaxSubscriptions = 1000,
        kRecentKept = kMaxRecentMax,        // the bus's last messages, whatever their codes
    };
    // What all pending collects keep at most, in bytes of message text;
    // past it they count but keep no more, and answer "cut":true.
    static const size_t kMaxKeptBytes = 256u << 20;
    // The payload bytes the last messages keep at most: past it the oldest go
    // first, so a burst of 64 KiB arrays cannot hold the memory.
    static const size_t kRecentPayloadBytes = 4u << 20;
    // The last message of each code, what an expect's changed compares its
    // first message with, is kept for this many codes and payload bytes at
    // most; a code past them (or whose payload does not fit) is not kept, and
    // its first message in an expect counts as its first.
    enum { kLastCodes = PredicateEvaluator::kMaxChangedCodes };
    static const size_t kLastPayloadBytes = 16u << 20;

    SessionBook(const SignalResolver* signals, MessageFormat format);
    ~SessionBook();
    SessionBook(const SessionBook&) = delete;
    SessionBook& operator=(const SessionBook&) = delete;

    // expect, collect or rate, armed at now; it ends at now plus its
    // duration. False with why when too many wait already.
    bool Arm(const SessionRequest& request, uint64_t now, std::string* error);
    // Subscriptions are numbered from 1 and never again reused. False with
    // why when too many are open.
    bool Subscribe(const CodePattern& pattern, uint64_t* sub, std::string* error);
    bool Unsubscribe(uint64_t sub);

    // A message of the bus (message.micros on the clock of now): matched
    // expects' answers and the subscriptions' events, in that order. It is
    // kept among the last messages, and as its code's last.
    void Take(const RecordedMessage& message, bool expired, std::vector<std::string>* lines);
    // The session's own post, its code's last from now on, before the bus
    // brings it back: an expect armed after the post compares with it.
    void Posted(const RecordedMessage& message) { KeepLast(message, false); }
    // recent: the last max messages, oldest first, as answers hold them.
    std::vector<std::string> Recent(size_t max) const;
    // The answers of every wait that ended before now.
    void Expire(uint64_t now, std::vector<std::string>* lines);

    bool Waiting() const { return !waits_.empty(); }
    // When the first pending wait ends; UINT64_MAX with none.
    uint64_t NextEnd() const;

private:
    struct Wait;
    struct Kept {
        RecordedMessage message;
        bool expired;
    };
    std::string Answer(Wait* wait) const;
    void Keep(const RecordedMessage& message, bool expired);
    void KeepLast(const RecordedMessage& message, bool expired);

    const SignalResolver* signals_;
    MessageFormat format_;
    std::vector<std::unique_ptr<Wait>> waits_;      // in arming order
    std::vector<std::pair<uint64_t, CodePattern>> subscriptions_;
    uint64_t lastSub_ = 0;
    size_t keptBytes_ = 0;
    std::deque<Kept> recent_;
    size_t recentBytes_ = 0;
    std::map<uint32_t, RecordedMessage> last_;   // by code
    size_t lastBytes_ = 0;
};
