#include "velkctl/BridgeRules.h"

#include "protocol/MessageCode.h"

bool AcceptedFromNetwork(const AcceptRule& rule, uint32_t code)
{
    bool control = (code & kTypeControl) != 0;
    if (!rule.given)
        return !control;
    return rule.filter.Passes(code) && (!control || rule.filter.Names(kTypeControl));
}

InboundVerdict DecideInbound(const std::string& ownOrigin, const AcceptRule& rule, const BridgeMessage& message,
                             SeqTracker* tracker, SeqEvent* event)
{
    *event = SeqEvent{ kSeqInOrder, false, 0, 0, std::string() };
    if (message.origin == ownOrigin)
        return kInboundOwn;
    if (!message.run.empty() && !tracker->Full(message.origin)) {
        *event = tracker->Note(message.origin, message.run, message.seq);
        if (event->verdict == kSeqDuplicate)
            return kInboundDuplicate;
    }
    if (message.expired)
        return kInboundExpired;
    return AcceptedFromNetwork(rule, message.code) ? kInboundPost : kInboundRefused;
}
