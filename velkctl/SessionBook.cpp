#include "velkctl/SessionBook.h"

#include "common/FormatText.h"
#include "velkctl/SessionAnswer.h"

struct SessionBook::Wait {
    Wait(const SessionRequest& request, uint64_t now, const SignalResolver* signals)
        : op(request.op), id(request.id), pattern(op == kSessionExpect ? request.match.pattern : request.pattern),
          start(now), end(now + request.micros), over(request.micros), max(request.max),
          evaluator(op == kSessionExpect ? request.match : Predicate(), signals) {}

    SessionOp op;
    uint64_t id;
    CodePattern pattern;
    uint64_t start, end, over;
    size_t max;
    PredicateEvaluator evaluator;       // expect
    uint64_t count = 0;                 // messages of the pattern while armed
    std::string last;                   // expect: the last of them
    std::vector<std::string> kept;      // collect
    size_t keptBytes = 0;
    uint64_t first = 0, latest = 0;     // rate: their timestamps
};

SessionBook::SessionBook(const SignalResolver* signals, MessageFormat format)
    : signals_(signals), format_(std::move(format)) {}

SessionBook::~SessionBook() {}

bool SessionBook::Arm(const SessionRequest& request, uint64_t now, std::string* error)
{
    if (waits_.size() >= kMaxWaits) {
        *error = FormatText("%d expects, collects and rates are waiting already; wait for their answers first",
                            static_cast<int>(kMaxWaits));
        return false;
    }
    waits_.emplace_back(new Wait(request, now, signals_));
    // changed compares a code's first message with the one before the
    // expect: the evaluator learns each code's last as a first message.
    if (request.op == kSessionExpect && request.match.op == kPredicateChanged)
        for (const auto& last : last_)
            if (CodeMatches(request.match.pattern, last.first))
                waits_.back()->evaluator.Holds(last.second);
    return true;
}

bool SessionBook::Subscribe(const CodePattern& pattern, uint64_t* sub, std::string* error)
{
    if (subscriptions_.size() >= kMaxSubscriptions) {
        *error = FormatText("%d subscriptions are open already; unsubscribe some first",
                            static_cast<int>(kMaxSubscriptions));
        return false;
    }
    *sub = ++lastSub_;
    subscriptions_.push_back(std::make_pair(*sub, pattern));
    return true;
}

bool SessionBook::Unsubscribe(uint64_t sub)
{
    for (auto at = subscriptions_.begin(); at != subscriptions_.end(); ++at) {
        if (at->first == sub) {
            subscriptions_.erase(at);
            return true;
        }
    }
    return false;
}

void SessionBook::Take(const RecordedMessage& message, bool expired, std::vector<std::string>* lines)
{
    std::string text;
    auto formatted = [&]() -> const std::string& {
        if (text.empty())
            text = format_(message, expired);
        return text;
    };
    for (auto at = waits_.begin(); at != waits_.end();) {
        Wait& wait = **at;
        // Past its end it only waits for Expire; what came before still counts.
        if (message.micros < wait.start || message.micros > wait.end || !CodeMatches(wait.pattern, message.code)) {
            ++at;
            continue;
        }
        ++wait.count;
        if (wait.op == kSessionExpect) {
            if (wait.evaluator.Holds(message)) {
                lines->push_back(FormatMatchAnswer(wait.id, formatted()));
                at = waits_.erase(at);
                continue;
            }
            wait.last = formatted();
        } else if (wait.op == kSessionCollect) {
            const std::string& kept = formatted();
            if (wait.kept.size() < wait.max && keptBytes_ + kept.size() <= kMaxKeptBytes) {
                wait.kept.push_back(kept);
                wait.keptBytes += kept.size();
                keptBytes_ += kept.size();
            }
        } else {
            if (wait.count == 1)
                wait.first = message.micros;
            wait.latest = message.micros;
        }
        ++at;
    }
    for (const auto& subscription : subscriptions_)
        if (CodeMatches(subscription.second, message.code))
            lines->push_back(FormatMessageEvent(subscription.first, formatted()));
    Keep(message, expired);
    KeepLast(message, expired);
}

void SessionBook::KeepLast(const RecordedMessage& message, bool expired)
{
    auto found = last_.find(message.code);
    if (found != last_.end()) {
        lastBytes_ -= found->second.bytes.size();
        last_.erase(found);
    }
    // An expired payload is not known: the next one is the code's first again.
    if (expired || last_.size() >= kLastCodes || lastBytes_ + message.bytes.size() > kLastPayloadBytes)
        return;
    last_.emplace(message.code, message);
    lastBytes_ += message.bytes.size();
}

void SessionBook::Keep(const RecordedMessage& message, bool expired)
{
    recent_.push_back(Kept{ message, expired });
    recentBytes_ += message.bytes.size();
    while (recent_.size() > kRecentKept || (recentBytes_ > kRecentPayloadBytes && recent_.size() > 1)) {
        recentBytes_ -= recent_.front().message.bytes.size();
        recent_.pop_front();
    }
}

std::vector<std::string> SessionBook::Recent(size_t max) const
{
    std::vector<std::string> messages;
    const size_t first = recent_.size() > max ? recent_.size() - max : 0;
    for (size_t i = first; i < recent_.size(); ++i)
        messages.push_back(format_(recent_[i].message, recent_[i].expired));
    return messages;
}

std::string SessionBook::Answer(Wait* wait) const
{
    switch (wait->op) {
    case kSessionExpect:
        return FormatTimeoutAnswer(wait->id, wait->count, wait->last);
    case kSessionCollect:
        return FormatCollectAnswer(wait->id, wait->count, wait->kept);
    default:
        return FormatRateAnswer(wait->id, wait->count, wait->first, wait->latest, wait->over);
    }
}

void SessionBook::Expire(uint64_t now, std::vector<std::string>* lines)
{
    for (auto at = waits_.begin(); at != waits_.end();) {
        if ((*at)->end >= now) {
            ++at;
            continue;
        }
        lines->push_back(Answer(at->get()));
        keptBytes_ -= (*at)->keptBytes;
        at = waits_.erase(at);
    }
}

uint64_t SessionBook::NextEnd() const
{
    uint64_t next = UINT64_MAX;
    for (const auto& wait : waits_)
        if (wait->end < next)
            next = wait->end;
    return next;
}
