// One message on a panel: what it will send and what was last received.
// Pure logic.
//
// Until a control sets a signal, the message sends what was last received
// for it (or, before anything came, the signal file's init values, as
// velkctl simulate starts); a signal once set keeps the value set. So an
// array message sends all its fields together, as velkctl send-arr does,
// the fields nobody set keeping the last received (or the initial) bytes.
// Every value goes through the encoder velkctl's sends use
// (signals/SignalCodec.h, signals/SignalSends.h): rounded to the nearest
// raw value, refused beyond min or max or when it does not fit, never
// clamped. A counter and a checksum are not set: every send writes the
// counter, then the checksum over its bytes (signals/MessageState.h); the
// counter counts on from the last of its code on the bus, the panel's own
// send or one received since.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "formats/RecordLine.h"
#include "signals/LateGaps.h"
#include "signals/MessageState.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

class PanelGroup {
public:
    // database and message must outlive the group; gbk encodes texts for
    // gbk signals (null: ASCII only).
    PanelGroup(const SignalDatabase& database, const SignalMessage& message, const SignalCodePages& pages,
               TextEncoder gbk);

    const SignalMessage& Message() const { return *message_; }
    // Why the init values could not be the start (a str init GBK lacks):
    // the group starts from raw 0 and zero bytes then. Empty when they were.
    const std::string& StartError() const { return startError_; }

    // A value as velkctl takes one on its command line (a number, an enum's
    // name, true/false; a text for a text signal). False with why in
    // *error, and nothing changed; always for a counter or a checksum.
    bool SetText(const Signal& signal, const std::string& text, std::string* error);
    // A physical value (a slider's).
    bool SetPhysical(const Signal& signal, double physical, std::string* error);
    bool IsSet(const Signal& signal) const;

    // What the message sends now: the code, the data word of a value
    // message, the payload of the others, with the counter and checksum
    // this send carries.
    const RecordedMessage& Outgoing() const { Settle(); return outgoing_; }
    // Outgoing went on the bus: the counter moves on.
    void Sent();
    // The outgoing message's signals, decoded as a receiver decodes them.
    const std::vector<DecodedSignal>& Sending() const { Settle(); return sending_; }

    // A message of this code from the bus, at micros. An expired payload
    // (gone before it was fetched) counts as heard but changes no value.
    // Only kept: decoded when asked for, so a flood costs a copy a message.
    void Receive(const RecordedMessage& message, int64_t micros);
    bool Heard() const { return heard_; }
    // The last received message's signals (empty before any).
    const std::vector<DecodedSignal>& Received() const { Settle(); return received_; }
    // Set on every change of what was received or will be sent; a view
    // clears it once it has shown the group.
    bool changed = true;

    // Silent for more than twice the message's period, counted from
    // sinceMicros (the panel's start) before anything was heard; never for
    // a message without a period.
    bool Late(int64_t nowMicros, int64_t sinceMicros) const;
    // The intervals between two of its messages longer than twice its
    // period, however short: a refresh may come only after the next one.
    uint64_t LateGapCount() const { return gaps_.Count(); }

    // The index of a signal of this message; -1 for another's.
    int IndexOf(const Signal& signal) const;

private:
    struct Assignment {
        const Signal* signal;
        std::string text;          // as BuildArrayPayload takes it
    };

    // Outgoing from the base (last received or initial) and what was set.
    bool Build(const std::vector<Assignment>& set, std::string* error) const;
    bool Assign(const Signal& signal, const std::string& text, std::string* error);
    // What was received last, decoded, and what goes out over it.
    void Settle() const;

    const SignalDatabase& database_;
    const SignalMessage* message_;
    SignalCodePages pages_;
    TextEncoder gbk_;
    MessageState sender_;                  // the counter, and the stamp of counter and checksum
    std::string startError_;
    RecordedMessage base_;                 // what was last received, or the initial message
    std::vector<Assignment> set_;          // in the order first set
    // Made from base_ and set_ when asked for (Settle).
    mutable RecordedMessage outgoing_;
    mutable std::vector<DecodedSignal> sending_, received_;
    mutable bool settled_ = false;
    bool heard_ = false;
    bool fromBus_ = false;                 // base_ is a message received whole
    int64_t heardMicros_ = 0;
    LateGaps gaps_;
};

// What a view marks on a message's box or widgets: late now, or a late gap
// seen lately (marked a while, however short it was), and the gaps counted.
struct LateMark {
    static constexpr int64_t kGapShownMicros = 1000000;   // a gap keeps the mark this long

    bool late = false;
    uint64_t gaps = 0;
    int64_t until = 0;   // a gap's mark stays until then
    bool shownOnce = false;

    // Brought up to date; true when what it shows changed (or was never shown).
    bool Update(const PanelGroup& group, int64_t nowMicros, int64_t sinceMicros);
    // "  ~N" after the name once a gap was counted, else empty.
    std::string GapsText() const;
};
