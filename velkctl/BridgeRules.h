// What velkctl bridge does with a good line from the network: its own
// lines dropped (a subscription to velk/# brings them back), loss tracked,
// duplicates dropped, and only what the accept rule allows posted. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

#include "velkctl/BridgeLine.h"
#include "formats/MessageFilter.h"
#include "velkctl/SeqTracker.h"

// What the network may post into the local bus: by default every code
// without the CONTROL bit (0x00800000; stop-all is one of them); with
// --accept, what its filters pass, and CONTROL only when they name it (a
// --type CTL, or a --code with the bit).
struct AcceptRule {
    bool given = false;
    MessageFilter filter;
};

bool AcceptedFromNetwork(const AcceptRule& rule, uint32_t code);

enum InboundVerdict {
    kInboundPost,
    kInboundOwn,         // this bridge's own origin
    kInboundDuplicate,   // its seq was seen already
    kInboundExpired,     // the payload had expired at the origin: nothing to post
    kInboundRefused,     // the accept rule refuses its code
};

// *event says what the seq told (verdict kSeqInOrder for lines without one).
InboundVerdict DecideInbound(const std::string& ownOrigin, const AcceptRule& rule, const BridgeMessage& message,
                             SeqTracker* tracker, SeqEvent* event);
