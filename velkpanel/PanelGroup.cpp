#include "velkpanel/PanelGroup.h"

#include <algorithm>

#include "common/FormatText.h"
#include "signals/SignalSends.h"

PanelGroup::PanelGroup(const SignalDatabase& database, const SignalMessage& message, const SignalCodePages& pages,
                       TextEncoder gbk)
    : database_(database), message_(&message), pages_(pages), gbk_(gbk)
{
    if (sender_.Start(message, gbk, &startError_)) {
        base_ = sender_.Peek();
    } else {
        base_.code = message.code;
        base_.kind = message.kind;
        base_.value = 0;
    }
    base_.micros = 0;
}

int PanelGroup::IndexOf(const Signal& signal) const
{
    const std::vector<Signal>& signals = message_->signals;
    if (signals.empty() || &signal < &signals.front() || &signal > &signals.back())
        return -1;
    return static_cast<int>(&signal - &signals.front());
}

bool PanelGroup::IsSet(const Signal& signal) const
{
    for (const Assignment& assignment : set_) {
        if (assignment.signal == &signal)
            return true;
    }
    return false;
}

bool PanelGroup::Build(const std::vector<Assignment>& set, std::string* error) const
{
    RecordedMessage built = base_;
    if (message_->kind == kValueMessage) {
        // One signal: the word set last, else the base's.
        for (const Assignment& assignment : set) {
            uint32_t code = 0;
            if (!EncodeNamedValue(database_, assignment.signal->name, assignment.text, &code, &built.value, error))
                return false;
        }
    } else if (message_->kind == kStringPayload) {
        for (const Assignment& assignment : set) {
            uint32_t code = 0;
            if (!EncodeNamedText(database_, message_->name, assignment.text, gbk_, &code, &built.bytes, error))
                return false;
        }
    } else {
        std::vector<std::string> fields;
        for (const Assignment& assignment : set)
            fields.push_back(assignment.signal->fieldName + "=" + assignment.text);
        if (!BuildArrayPayload(*message_, fields, base_.bytes, &built.bytes, error, gbk_))
            return false;
    }
    built.expired = false;
    sender_.Stamp(&built);
    outgoing_ = built;
    DecodeMessage(*message_, outgoing_.value, outgoing_.bytes, pages_, &sending_);
    return true;
}

void PanelGroup::Settle() const
{
    if (settled_)
        return;
    settled_ = true;
    if (fromBus_)
        DecodeMessage(*message_, base_.value, base_.bytes, pages_, &received_);
    // What was set was good over the previous base; over a shorter or
    // longer payload it still is (the fields' places do not move).
    std::string error;
    if (!Build(set_, &error)) {
        outgoing_ = base_;
        sender_.Stamp(&outgoing_);
        DecodeMessage(*message_, outgoing_.value, outgoing_.bytes, pages_, &sending_);
    }
}

bool PanelGroup::Assign(const Signal& signal, const std::string& text, std::string* error)
{
    if (IndexOf(signal) < 0) {
        *error = signal.name + " is not a signal of " + message_->name;
        return false;
    }
    if (signal.counter || signal.checksum != nullptr) {
        *error = signal.name + (signal.counter ? ": a counter counts on every send" : ": a checksum is computed on every send") +
                 ", not set";
        return false;
    }
    std::vector<Assignment> set = set_;
    bool found = false;
    for (Assignment& assignment : set) {
        if (assignment.signal == &signal) {
            assignment.text = text;
            found = true;
        }
    }
    if (!found)
        set.push_back(Assignment{ &signal, text });
    Settle();
    if (!Build(set, error))
        return false;
    set_.swap(set);
    changed = true;
    return true;
}

bool PanelGroup::SetText(const Signal& signal, const std::string& text, std::string* error)
{
    return Assign(signal, text, error);
}

bool PanelGroup::SetPhysical(const Signal& signal, double physical, std::string* error)
{
    // The shortest text that reads back to the same double.
    return Assign(signal, FormatText("%.17g", physical), error);
}

void PanelGroup::Sent()
{
    sender_.CountOn();
    settled_ = false;
    changed = true;
}

void PanelGroup::Receive(const RecordedMessage& message, int64_t micros)
{
    heard_ = true;
    heardMicros_ = micros;
    gaps_.Receive(static_cast<uint64_t>(std::max<int64_t>(micros, 0)), message_->periodMicros);
    changed = true;
    if (message.expired)
        return;
    sender_.CountOnFrom(message);
    base_.value = message.value;
    base_.bytes = message.bytes;
    fromBus_ = true;
    settled_ = false;
}

bool PanelGroup::Late(int64_t nowMicros, int64_t sinceMicros) const
{
    const int64_t last = heard_ ? heardMicros_ : sinceMicros;
    return nowMicros > last &&
           LateInterval(static_cast<uint64_t>(std::max<int64_t>(last, 0)), static_cast<uint64_t>(nowMicros),
                        message_->periodMicros);
}

bool LateMark::Update(const PanelGroup& group, int64_t nowMicros, int64_t sinceMicros)
{
    const uint64_t counted = group.LateGapCount();
    if (counted != gaps)
        until = nowMicros + kGapShownMicros;
    const bool isLate = group.Late(nowMicros, sinceMicros) || nowMicros < until;
    if (shownOnce && isLate == late && counted == gaps)
        return false;
    shownOnce = true;
    late = isLate;
    gaps = counted;
    return true;
}

std::string LateMark::GapsText() const
{
    return gaps == 0 ? std::string() : FormatText("  ~%llu", static_cast<unsigned long long>(gaps));
}
