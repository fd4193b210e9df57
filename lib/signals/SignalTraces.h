// The signals a chart draws, one trace each (every array field its own),
// and the physical value each message gives them. Pure logic.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "signals/SignalCodec.h"
#include "signals/SignalDatabase.h"

// A trace's source: signal index of the message with code, or the raw value
// (TraceValueOf) of a code the file does not know, index kRawTrace.
struct SignalTraceRef {
    uint32_t code;
    size_t index;
};
const size_t kRawTrace = static_cast<size_t>(-1);

// A number to draw: every signal but a text.
bool IsDrawnSignal(const Signal& signal);

// The message's drawn signals in the file's order, appended to *traces.
void AddMessageTraces(const SignalMessage& message, std::vector<SignalTraceRef>* traces);

// Each name a signal's full name or a message's name (all its drawn
// signals), appended in order. False at the first name the file lacks,
// *error naming it and the closest name it has, or that is only text.
bool FindSignalTraces(const SignalDatabase& database, const std::vector<std::string>& names,
                      std::vector<SignalTraceRef>* traces, std::string* error);

// The signal a trace draws; null for a raw one or one the file lacks.
const Signal* TraceSignal(const SignalDatabase& database, const SignalTraceRef& trace);

// signals[index]'s physical value (DecodeMessage's order); false when the
// field is missing, a text, or not a finite number.
bool DrawnValue(const std::vector<DecodedSignal>& signals, size_t index, double* value);
