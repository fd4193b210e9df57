// The predicate of velkctl session's expect and of record --trigger: one
// grammar for both. Pure logic.
//
//   CODE[/MASK] [OP [VALUE]]    20000801 gt 1500, 20000800/ffffff00 changed
//   SIGNAL [OP [VALUE]]         motor.speed ge 148.25, motor.state eq FAULT,
//                               rig.text contains "PUMP READY"
//
// CODE and MASK are hex as every code (formats/CodeArgument.h); a first word
// that is no code is a signal name. Without OP any message of the codes
// holds. OP is one of eq ne lt le gt ge changed contains (or, for the
// comparisons, == != < <= > >=); changed takes no VALUE, the others one. A
// code's VALUE is a whole 32-bit number, decimal with a sign or 0x-hex
// (0xffffffff is -1, the data word's bits); a signal's VALUE may be
// fractional (-0.5, 2.5e3), 0x-hex or a name of the signal's enum. A text
// signal takes eq ne changed contains, its VALUE a text, in double quotes
// when it holds blanks (\" and \\ inside them).
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <map>
#include <string>

#include "formats/MessageFilter.h"
#include "formats/RecordLine.h"

// Where a predicate, a post or a subscription finds signals by name: the
// signal library plugs in here, so this grammar does not depend on it.
struct Predicate;

class SignalResolver {
public:
    virtual ~SignalResolver() {}
    // The code whose messages carry the signal; false with why in *error
    // ("no signal 'motor.sped'; did you mean 'motor.speed'?").
    virtual bool ResolveSignal(const std::string& name, uint32_t* code, std::string* error) const = 0;
    // The number an enum name of the signal stands for; false with why.
    virtual bool ResolveEnum(const std::string& signal, const std::string& enumName, double* value,
                             std::string* error) const = 0;
    // The signal's physical value in a message of its code; false when the
    // message does not carry it (a payload too short).
    virtual bool ExtractSignal(const std::string& signal, const RecordedMessage& message, double* value) const = 0;
    // A message of the signal's code carrying value (session's post by
    // name); false with why (out of the signal's range).
    virtual bool EncodeSignal(const std::string& signal, double value, RecordedMessage* message,
                              std::string* error) const = 0;
    // Whether the signal is a text (a string message, a str field).
    virtual bool IsTextSignal(const std::string& signal) const = 0;
    // A text signal's text (UTF-8) in a message of its code; false when the
    // message does not carry it.
    virtual bool ExtractText(const std::string& signal, const RecordedMessage& message, std::string* text) const = 0;
    // Whether a comparison can change with its signal: false with why when
    // its VALUE lies where the signal never reaches (it never holds, or for
    // ne always does). Every predicate parsed against signals is asked.
    virtual bool ComparisonCanChange(const Predicate& predicate, std::string* why) const = 0;
};

enum PredicateOp { kPredicateEq, kPredicateNe, kPredicateLt, kPredicateLe, kPredicateGt, kPredicateGe,
                   kPredicateChanged, kPredicateContains, kPredicateAny };

struct Predicate {
    CodePattern pattern;      // the codes it looks at; a signal's code with mask ffffffff
    std::string signal;       // empty: the message's value (or payload, for changed)
    bool textSignal = false;  // signal is a text: text is the VALUE
    PredicateOp op = kPredicateAny;
    double operand = 0;       // the VALUE; exact for every 32-bit value
    std::string text;         // a text signal's VALUE (UTF-8)
};

// "eq" ... "contains"; "" for kPredicateAny, which has no word.
const char* PredicateOpName(PredicateOp op);

// The whole text as one predicate; false with what is wrong and where
// ("at column 10: ...") in *error. signals may be null: then only codes.
bool ParsePredicate(const std::string& text, const SignalResolver* signals, Predicate* predicate,
                    std::string* error);

// A signal's value as predicates and posts write it: a number (2, -0.5,
// 2.5e3, 0x1f) or a name of the signal's enum. False with why in *error.
bool ParseSignalValue(const std::string& text, const std::string& signal, const SignalResolver& signals,
                      double* value, std::string* error);

// A predicate over messages in the order they arrive. changed keeps the
// last value (or payload) of each code it saw: a code's first message sets
// it and never holds. At most kMaxChangedCodes codes are kept; the messages
// of codes past that never hold changed, and Full() says so.
class PredicateEvaluator {
public:
    enum { kMaxChangedCodes = 4096 };

    PredicateEvaluator(const Predicate& predicate, const SignalResolver* signals)
        : predicate_(predicate), signals_(signals) {}

    // Whether the predicate holds on this message; a code it does not look
    // at never does. A comparison on a payload message (no signal) never
    // holds: a payload has no value to compare.
    bool Holds(const RecordedMessage& message);

    bool Full() const { return last_.size() >= kMaxChangedCodes; }

private:
    bool HoldsForText(const RecordedMessage& message);
    bool Changed(uint32_t code, const std::string& state);

    Predicate predicate_;
    const SignalResolver* signals_;
    std::map<uint32_t, std::string> last_;
};
