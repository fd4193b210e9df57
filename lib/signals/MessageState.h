// What a sender keeps of one message of a signal file between its sends:
// the value of every signal (its init until it is set by name), the
// counter, and the bytes they make. Each send writes the counter, then the
// checksum over its bytes, then moves the counter on, wrapping at its bits.
// Pure logic, for velkctl simulate, the session's simulation and any
// program's cyclic sends.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "formats/RecordLine.h"
#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

// An array message's payload before anyone sets a field: every field's
// init, zero where there is none, as long as its last field. False when a
// str init does not fit (a character GBK lacks, too long for its length).
bool InitialPayload(const SignalMessage& message, TextEncoder gbk, std::string* bytes, std::string* error);

// The message's checksum over its listed bytes into its field; nothing for
// a message without one. The bytes reach past the listed ones and the
// field (the loader saw to it for every payload as long as its fields).
void WriteChecksum(const SignalMessage& message, std::string* bytes);

// The checksum the listed bytes make; false when the payload ends before them.
bool ComputeMessageChecksum(const Signal& field, const std::string& bytes, uint32_t* checksum);

class MessageState {
public:
    // message (which must outlive the state) with every signal at its init.
    // False, with the signal and why in *error, when an init does not fit.
    bool Start(const SignalMessage& message, TextEncoder gbk, std::string* error);

    const SignalMessage& Message() const { return *message_; }

    // A signal of the message by its full name, its value as text: a number,
    // an enum's name, true/false, or a str signal's text (UTF-8). A counter
    // set so counts on from there; a checksum cannot be set: it is computed.
    bool Set(const Signal& signal, const std::string& value, std::string* error);

    // The message to send now: the counter written, then the checksum; the
    // counter then moves on for the next. A selector with mux_cycle takes
    // its values in turn, from the lowest, each payload with that value's
    // fields; a field set goes into every payload that holds it.
    RecordedMessage Next();
    // What Next would send now; the counter stays.
    RecordedMessage Peek() const;

    // The counter's next value, then the checksum, written over a message of
    // this code built elsewhere (a value message's word, the others'
    // payload, grown to reach the counter), as Next writes them.
    void Stamp(RecordedMessage* message) const;
    // The counter moves on, as after a send.
    void CountOn();
    // The counter continues from one seen on the bus: the next send is one
    // more. Nothing when the message has no counter or the payload ends
    // before it.
    void CountOnFrom(const RecordedMessage& seen);

private:
    bool SetInPages(const Signal& signal, const std::string& value, std::string* error);

    const SignalMessage* message_ = nullptr;
    TextEncoder gbk_ = nullptr;
    int32_t word_ = 0;            // value messages
    std::string bytes_;           // string and array messages
    std::vector<int64_t> cycle_;  // a cycling selector's values; empty otherwise
    std::vector<std::string> pages_;  // the payload of each of cycle_, in its order
    size_t page_ = 0;             // the one sent next
    uint64_t counter_ = 0;        // the counter's next value, its bits as unsigned
};
